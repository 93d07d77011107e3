// Arbitrary text as a model file, a project and a restart part: each reader refuses with a
// message naming the file, or reads what it writes back to the same text. A model is simulated
// and a part merged on a few rows, where numbers that size the work show.
#include "document/formats/ModelFile.h"
#include "document/formats/RestartParts.h"
#include "document/project/ProjectFile.h"
#include "document/table/DocumentError.h"
#include "document/table/TableSamples.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace orvanel;

namespace {

constexpr std::size_t Rows = 40;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void RequireNamed(const DocumentError& error, const std::string& name) {
    Require(std::string(error.what()).starts_with(name));
}

void ReadModel(const std::string& text) {
    try {
        const ModelFile model = ModelFile::Parse(text, "m.json");
        Require(ModelFile::Parse(model.Text(), "m.json").Text() == model.Text());
        const std::vector<std::vector<double>> inputs(model.Inputs.size(),
                                                      std::vector<double>(Rows, 1.0));
        const std::vector<double> output(Rows, 0.0);
        Require(model.Simulate(TableSamples::FromColumns(inputs, output)).size() == Rows);
    } catch (const DocumentError& error) {
        RequireNamed(error, "m.json");
    }
}

void ReadProject(const std::string& text) {
    try {
        const std::vector<ProjectDocument> documents = ProjectFile::Parse(text, "p.orvanel");
        const std::string written = ProjectFile::Text(documents);
        Require(ProjectFile::Text(ProjectFile::Parse(written, "p.orvanel")) == written);
    } catch (const DocumentError& error) {
        RequireNamed(error, "p.orvanel");
    }
}

// The part is merged as a run of its own identity on one input and a few rows would merge it.
void ReadPart(const std::string& text) {
    try {
        RestartParts::Part part = RestartParts::Parse(text, "part.json");
        const std::string written = RestartParts::Text(part);
        Require(RestartParts::Text(RestartParts::Parse(written, "part.json")) == written);
        RestartParts parts(part.Run, {1, Rows});
        parts.Add("part.json", std::move(part));
    } catch (const DocumentError& error) {
        RequireNamed(error, "part.json");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ReadModel(text);
    ReadProject(text);
    ReadPart(text);
    return 0;
}
