#include "document/formats/ModelFile.h"

#include "document/run/IdentificationRun.h"
#include "document/table/DocumentError.h"
#include "document/table/DocumentFile.h"
#include "document/table/FieldReader.h"
#include "engine/linear/LinearModel.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace orvanel {
namespace {

using json = FieldReader::Json;

constexpr int FormatVersion = 1;
// No model the search draws has a longer delay; a larger one is a damaged file.
constexpr long long LongestDelay = 1000000;

ModelFile::Input ReadInput(const FieldReader& reader, const json& value, const std::string& field) {
    ModelFile::Input input;
    if (value.is_object() && value.contains("name") && value["name"].is_string())
        input.Name = value["name"].get<std::string>();
    input.Numerator =
        reader.Numbers(reader.Member(value, field, "numerator"), field + ".numerator");
    input.Denominator =
        reader.Numbers(reader.Member(value, field, "denominator"), field + ".denominator");
    if (input.Denominator.size() > IdentificationRun::MostOrder + 1)
        reader.Fail(field + ".denominator", "has " + std::to_string(input.Denominator.size()) +
                                                " terms; a run's model has at most " +
                                                std::to_string(IdentificationRun::MostOrder + 1));
    if (input.Denominator.front() != 1.0)
        reader.Fail(field + ".denominator", "must start with 1");
    if (input.Numerator.size() > input.Denominator.size())
        reader.Fail(field + ".numerator", "has more terms than the denominator");
    const json& delay = reader.Member(value, field, "delay");
    if (!delay.is_number_integer() || delay.get<long long>() < 0 ||
        delay.get<long long>() > LongestDelay)
        reader.Fail(field + ".delay",
                    "is not a whole number of samples from 0 to " + std::to_string(LongestDelay));
    input.Delay = static_cast<int>(delay.get<long long>());
    return input;
}

// Exported denominators are written to the last bit, so a shared one reads back equal in
// every input.
bool ReadSharedDenominator(const FieldReader& reader, const json& document,
                           const std::vector<ModelFile::Input>& inputs) {
    const std::string field = "shared_denominator";
    if (!document.contains(field) || !reader.Boolean(document[field], field))
        return false;
    for (std::size_t k = 1; k < inputs.size(); ++k) {
        if (inputs[k].Denominator != inputs.front().Denominator)
            reader.Fail(field, "is true but inputs[" + std::to_string(k) +
                                   "].denominator differs from inputs[0].denominator");
    }
    return true;
}

} // namespace

ModelFile ModelFile::Read(const std::string& path) {
    return Parse(DocumentFile::ReadText(path), path);
}

ModelFile ModelFile::Parse(const std::string& text, const std::string& path) {
    const FieldReader reader(path);
    const json document =
        reader.Document(text, "orvanel-model", "a model exported by this program");
    reader.CheckVersion(document, FormatVersion);
    const json& inputs = reader.Member(document, "", "inputs");
    if (!inputs.is_array() || inputs.empty())
        reader.Fail("inputs", "is not a list of transfer functions");
    ModelFile model;
    for (std::size_t k = 0; k < inputs.size(); ++k)
        model.Inputs.push_back(ReadInput(reader, inputs[k], "inputs[" + std::to_string(k) + "]"));
    model.SharedDenominator = ReadSharedDenominator(reader, document, model.Inputs);
    if (document.contains("output") && document["output"].is_object() &&
        document["output"].contains("name") && document["output"]["name"].is_string())
        model.OutputName = document["output"]["name"].get<std::string>();
    if (document.contains("offsets")) {
        const json& offsets = document["offsets"];
        model.InputOffsets =
            reader.Numbers(reader.Member(offsets, "offsets", "inputs"), "offsets.inputs");
        if (model.InputOffsets->size() != model.Inputs.size())
            reader.Fail("offsets.inputs", "does not have one offset per input");
        model.OutputOffset =
            reader.Number(reader.Member(offsets, "offsets", "output"), "offsets.output");
    }
    if (document.contains("sample_time")) {
        model.SampleTime = reader.Number(document["sample_time"], "sample_time");
        if (!(*model.SampleTime > 0.0))
            reader.Fail("sample_time", "is not a positive number");
    }
    return model;
}

std::string ModelFile::Text() const {
    nlohmann::ordered_json document = {{"format", "orvanel-model"},
                                       {"format_version", FormatVersion}};
    if (SharedDenominator)
        document["shared_denominator"] = true;
    nlohmann::ordered_json inputs = nlohmann::ordered_json::array();
    for (const Input& input : Inputs) {
        nlohmann::ordered_json entry = {{"numerator", input.Numerator},
                                        {"denominator", input.Denominator},
                                        {"delay", input.Delay}};
        if (!input.Name.empty())
            entry["name"] = input.Name;
        inputs.push_back(std::move(entry));
    }
    document["inputs"] = std::move(inputs);
    if (!OutputName.empty())
        document["output"] = {{"name", OutputName}};
    if (InputOffsets)
        document["offsets"] = {{"inputs", *InputOffsets}, {"output", OutputOffset}};
    if (SampleTime)
        document["sample_time"] = *SampleTime;
    // A name that is not UTF-8 keeps its place with replacement characters.
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

// The arithmetic of the run that exported the model: inputs less their offsets, each input's
// difference equation from zero state, the parts added in input order, the output's offset
// added last.
std::vector<double> ModelFile::Simulate(const TableSamples& samples) const {
    if (static_cast<std::size_t>(samples.Inputs()) != Inputs.size())
        throw DocumentError("The data have " + std::to_string(samples.Inputs()) +
                            " inputs; the model has " + std::to_string(Inputs.size()));
    const auto rows = static_cast<std::size_t>(samples.Samples());
    std::vector<double> sum(rows, 0.0);
    std::vector<double> x(rows);
    std::vector<double> y(rows);
    for (std::size_t k = 0; k < Inputs.size(); ++k) {
        const Input& input = Inputs[k];
        for (std::size_t r = 0; r < rows; ++r) {
            x[r] = samples.Row(static_cast<int>(r))[k];
            if (InputOffsets)
                x[r] = x[r] - (*InputOffsets)[k];
        }
        std::vector<double> b(input.Numerator.rbegin(), input.Numerator.rend());
        std::vector<double> a(input.Denominator.rbegin(), input.Denominator.rend());
        const std::size_t n = a.size() - 1;
        LinearModel::Filter(x, b, std::span(a).first(n),
                            static_cast<std::ptrdiff_t>(n) + input.Delay, y);
        for (std::size_t r = 0; r < rows; ++r)
            sum[r] = sum[r] + y[r];
    }
    // Added also when it is 0, as the run does: a -0 becomes +0 there too.
    for (double& value : sum)
        value = value + OutputOffset;
    return sum;
}

TableSamples ModelFile::SamplesFor(const ImportedData& data, const std::string& dataPath) const {
    if (!OutputName.empty() && !data.OutputName.empty() && OutputName != data.OutputName)
        throw DocumentError("the model's output is \"" + OutputName + "\", the output of " +
                            dataPath + " is \"" + data.OutputName + "\"");
    const bool named = std::all_of(Inputs.begin(), Inputs.end(),
                                   [](const Input& input) { return !input.Name.empty(); });
    if (!named || data.InputNames.empty())
        return data.Samples;
    std::vector<std::size_t> columns;
    for (std::size_t k = 0; k < Inputs.size(); ++k) {
        const auto found =
            std::find(data.InputNames.begin(), data.InputNames.end(), Inputs[k].Name);
        if (found == data.InputNames.end())
            throw DocumentError(dataPath + " has no input column named \"" + Inputs[k].Name +
                                "\", which input " + std::to_string(k + 1) + " of the model takes");
        columns.push_back(static_cast<std::size_t>(found - data.InputNames.begin()));
    }
    const auto rows = static_cast<std::size_t>(data.Samples.Samples());
    std::vector<std::vector<double>> inputs(columns.size(), std::vector<double>(rows));
    std::vector<double> output(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::span<const double> row = data.Samples.Row(static_cast<int>(r));
        for (std::size_t k = 0; k < columns.size(); ++k)
            inputs[k][r] = row[columns[k]];
        output[r] = row.back();
    }
    return TableSamples::FromColumns(inputs, output);
}

} // namespace orvanel
