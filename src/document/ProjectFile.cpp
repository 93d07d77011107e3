#include "document/ProjectFile.h"

#include "document/DocumentError.h"
#include "document/DocumentFile.h"
#include "document/FieldReader.h"
#include "document/ReplacementFile.h"
#include "engine/RunParameters.h"
#include "model/NumberText.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>

namespace orvanel {
namespace {

using json = FieldReader::Json;
using nlohmann::ordered_json;

constexpr const char* Format = "orvanel-project";
constexpr int FormatVersion = 1;
constexpr long long LongestDelay = 1000000;
constexpr long long MostRows = std::numeric_limits<int>::max();

// The members of the object at `field`, each read or named by its path.
struct Fields {
    const FieldReader& reader;
    const json& object;
    const std::string& field;

    const json& operator()(const char* name) const { return reader.Member(object, field, name); }
    std::string Path(const char* name) const { return FieldReader::Path(field, name); }
};

ordered_json OptionsJson(const IdentificationOptions& options) {
    return {{"remove_offsets", options.RemoveOffsets},
            {"validation_percent", options.ValidationPercent},
            {"refine", options.Refine},
            {"restarts", options.Restarts},
            {"simplify", options.Simplify},
            {"thorough", options.Thorough}};
}

ordered_json FactorsJson(const std::vector<LinearModel::Factor>& factors) {
    ordered_json list = ordered_json::array();
    for (const LinearModel::Factor& factor : factors)
        list.push_back(factor.Pair ? ordered_json{factor.A, factor.B} : ordered_json{factor.Root});
    return list;
}

ordered_json LinearModelJson(const LinearModel& model) {
    ordered_json inputs = ordered_json::array();
    for (const LinearModel::Input& input : model.Inputs)
        inputs.push_back({{"gain", input.Gain},
                          {"zeros", FactorsJson(input.Zeros)},
                          {"poles", FactorsJson(input.Poles)},
                          {"delay", input.Delay}});
    return inputs;
}

ordered_json SeedJson(const Rnd::State& seed) {
    return {{"table", seed.RandomTable},
            {"index", seed.RandomIndex},
            {"system_seed", seed.SystemSeed}};
}

ordered_json ModelJson(const KeptModel& model) {
    ordered_json entry = {{"name", model.Name},
                          {"origin", model.Origin},
                          {"time", model.Time},
                          {"stopped", model.Stopped},
                          {"overlaid", model.Overlaid},
                          {"validation_begins", model.ValidationBegins},
                          {"options", OptionsJson(model.Options)},
                          {"model", ordered_json::parse(model.Coefficients.Text())}};
    if (model.Factors)
        entry["factors"] = LinearModelJson(*model.Factors);
    if (model.Seed)
        entry["seed"] = SeedJson(*model.Seed);
    return entry;
}

ordered_json DocumentJson(const ProjectDocument& document) {
    ordered_json entry = {{"caption", document.Caption}};
    entry["data"] = document.DataPath.empty() ? ordered_json{{"rows", document.EmbeddedRows}}
                                              : ordered_json{{"path", document.DataPath}};
    entry["column_names"] = {{"inputs", document.InputNames}, {"output", document.OutputName}};
    if (document.SampleTime)
        entry["sample_time"] = *document.SampleTime;
    entry["options"] = OptionsJson(document.Options);
    ordered_json parameters = ordered_json::object();
    for (const auto& [name, value] : document.Parameters)
        parameters[name] = value;
    entry["parameters"] = parameters;
    ordered_json models = ordered_json::array();
    for (const KeptModel& model : document.Models)
        models.push_back(ModelJson(model));
    entry["models"] = models;
    if (document.Chosen)
        entry["chosen"] = *document.Chosen;
    return entry;
}

IdentificationOptions ReadOptions(const FieldReader& reader, const json& value,
                                  const std::string& field) {
    const Fields member{reader, value, field};
    IdentificationOptions options;
    options.RemoveOffsets = reader.Boolean(member("remove_offsets"), member.Path("remove_offsets"));
    options.ValidationPercent =
        reader.Number(member("validation_percent"), member.Path("validation_percent"));
    options.Refine = reader.Boolean(member("refine"), member.Path("refine"));
    options.Restarts = static_cast<int>(
        reader.Integer(member("restarts"), member.Path("restarts"), 1, RunParameters::MaxCount));
    options.Simplify = reader.Boolean(member("simplify"), member.Path("simplify"));
    options.Thorough = reader.Boolean(member("thorough"), member.Path("thorough"));
    // The ranges of the options dialog and the command.
    for (const IdentificationOption* option : IdentificationOption::All()) {
        const double value = option->Read(options);
        if (value < option->Minimum || value > option->Maximum)
            reader.Fail(field, "has " + std::string(option->Flag.substr(2)) + " " +
                                   FormatGeneral(value, 15) + ", outside " +
                                   FormatGeneral(option->Minimum, 15) + " to " +
                                   FormatGeneral(option->Maximum, 15));
    }
    return options;
}

std::vector<LinearModel::Factor> ReadFactors(const FieldReader& reader, const json& value,
                                             const std::string& field) {
    if (!value.is_array())
        reader.Fail(field, "is not a list of factors");
    std::vector<LinearModel::Factor> factors;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string item = FieldReader::Item(field, i);
        const std::vector<double> numbers = reader.Numbers(value[i], item);
        if (numbers.size() > 2)
            reader.Fail(item, "is not a real root or a pair's two coefficients");
        factors.push_back(numbers.size() == 1
                              ? LinearModel::Factor{false, numbers[0], 0.0, 0.0}
                              : LinearModel::Factor{true, 0.0, numbers[0], numbers[1]});
    }
    return factors;
}

LinearModel ReadFactoredModel(const FieldReader& reader, const json& value,
                              const std::string& field) {
    if (!value.is_array() || value.empty())
        reader.Fail(field, "is not a list of transfer functions");
    LinearModel model;
    for (std::size_t k = 0; k < value.size(); ++k) {
        const std::string item = FieldReader::Item(field, k);
        LinearModel::Input input;
        input.Gain = reader.Number(reader.Member(value[k], item, "gain"), item + ".gain");
        input.Zeros = ReadFactors(reader, reader.Member(value[k], item, "zeros"), item + ".zeros");
        input.Poles = ReadFactors(reader, reader.Member(value[k], item, "poles"), item + ".poles");
        input.Delay = static_cast<int>(reader.Integer(reader.Member(value[k], item, "delay"),
                                                      item + ".delay", 0, LongestDelay));
        model.Inputs.push_back(std::move(input));
    }
    return model;
}

Rnd::State ReadSeed(const FieldReader& reader, const json& value, const std::string& field) {
    Rnd::State seed;
    const std::vector<double> table =
        reader.Numbers(reader.Member(value, field, "table"), field + ".table");
    if (table.size() != seed.RandomTable.size())
        reader.Fail(field + ".table", "does not have " +
                                          std::to_string(seed.RandomTable.size()) + " numbers");
    std::copy(table.begin(), table.end(), seed.RandomTable.begin());
    seed.RandomIndex = static_cast<int>(reader.Integer(reader.Member(value, field, "index"),
                                                       field + ".index", 0, 55));
    seed.SystemSeed = static_cast<std::uint32_t>(
        reader.Integer(reader.Member(value, field, "system_seed"), field + ".system_seed", 0,
                       std::numeric_limits<std::uint32_t>::max()));
    return seed;
}

KeptModel ReadModel(const FieldReader& reader, const json& value, const std::string& field,
                    const std::string& path) {
    const Fields member{reader, value, field};
    KeptModel model;
    model.Name = reader.Text(member("name"), member.Path("name"));
    model.Origin = reader.Text(member("origin"), member.Path("origin"));
    model.Time = reader.Text(member("time"), member.Path("time"));
    model.Stopped = reader.Boolean(member("stopped"), member.Path("stopped"));
    model.Overlaid = reader.Boolean(member("overlaid"), member.Path("overlaid"));
    model.ValidationBegins = static_cast<std::size_t>(
        reader.Integer(member("validation_begins"), member.Path("validation_begins"), 0, MostRows));
    model.Options = ReadOptions(reader, member("options"), member.Path("options"));
    model.Coefficients = ModelFile::Parse(member("model").dump(), path + ": " + member.Path("model"));
    if (value.contains("factors")) {
        model.Factors = ReadFactoredModel(reader, value["factors"], member.Path("factors"));
        if (model.Factors->Inputs.size() != model.Coefficients.Inputs.size())
            reader.Fail(member.Path("factors"), "does not have one transfer function per input");
    }
    if (value.contains("seed"))
        model.Seed = ReadSeed(reader, value["seed"], member.Path("seed"));
    return model;
}

std::vector<std::string> ReadNames(const FieldReader& reader, const json& value,
                                   const std::string& field) {
    if (!value.is_array())
        reader.Fail(field, "is not a list of names");
    std::vector<std::string> names;
    for (std::size_t i = 0; i < value.size(); ++i)
        names.push_back(reader.Text(value[i], FieldReader::Item(field, i)));
    return names;
}

std::vector<std::pair<std::string, double>> ReadParameters(const FieldReader& reader,
                                                           const json& value,
                                                           const std::string& field) {
    if (!value.is_object())
        reader.Fail(field, "is not a set of named numbers");
    std::vector<std::pair<std::string, double>> parameters;
    for (const auto& item : value.items()) {
        const std::string& name = item.key();
        const auto known = RunParameters::All();
        if (std::none_of(known.begin(), known.end(), [&name](const RunParameter* parameter) {
                return parameter->Flag.substr(2) == name;
            }))
            reader.Fail(field + "." + name, "is not a parameter of the search");
        parameters.emplace_back(name, reader.Number(item.value(), field + "." + name));
    }
    return parameters;
}

ProjectDocument ReadDocument(const FieldReader& reader, const json& value,
                             const std::string& field, const std::string& path) {
    const Fields member{reader, value, field};
    ProjectDocument document;
    document.Caption = reader.Text(member("caption"), member.Path("caption"));
    const json& data = member("data");
    if (data.is_object() && data.contains("path"))
        document.DataPath = reader.Text(data["path"], member.Path("data") + ".path");
    else
        document.EmbeddedRows =
            reader.Text(reader.Member(data, member.Path("data"), "rows"), member.Path("data") + ".rows");
    const json& names = member("column_names");
    document.InputNames = ReadNames(reader, reader.Member(names, member.Path("column_names"), "inputs"),
                                    member.Path("column_names") + ".inputs");
    document.OutputName = reader.Text(reader.Member(names, member.Path("column_names"), "output"),
                                      member.Path("column_names") + ".output");
    if (value.contains("sample_time")) {
        document.SampleTime = reader.Number(value["sample_time"], member.Path("sample_time"));
        if (!(*document.SampleTime > 0.0))
            reader.Fail(member.Path("sample_time"), "is not a positive number");
    }
    document.Options = ReadOptions(reader, member("options"), member.Path("options"));
    document.Parameters = ReadParameters(reader, member("parameters"), member.Path("parameters"));
    const json& models = member("models");
    if (!models.is_array())
        reader.Fail(member.Path("models"), "is not a list of models");
    for (std::size_t i = 0; i < models.size(); ++i)
        document.Models.push_back(
            ReadModel(reader, models[i], FieldReader::Item(member.Path("models"), i), path));
    if (value.contains("chosen"))
        document.Chosen = static_cast<std::size_t>(
            reader.Integer(value["chosen"], member.Path("chosen"), 0,
                           static_cast<long long>(document.Models.size()) - 1));
    return document;
}

} // namespace

std::string ProjectFile::Text(const std::vector<ProjectDocument>& documents) {
    ordered_json project = {{"format", Format}, {"format_version", FormatVersion}};
    ordered_json list = ordered_json::array();
    for (const ProjectDocument& document : documents)
        list.push_back(DocumentJson(document));
    project["documents"] = list;
    // A caption or name that is not UTF-8 keeps its place with replacement characters.
    return project.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

void ProjectFile::Write(const std::string& path, const std::vector<ProjectDocument>& documents) {
    const std::string text = Text(documents);
    ReplacementFile file(path, ReplacementFile::Links::Replace,
                         "Cannot save the project " + path,
                         "The project " + path + " could not be written completely");
    file.Write(text);
    file.Commit();
}

std::vector<ProjectDocument> ProjectFile::Read(const std::string& path) {
    return Parse(DocumentFile::ReadText(path), path);
}

std::vector<ProjectDocument> ProjectFile::Parse(const std::string& text, const std::string& path) {
    const FieldReader reader(path);
    const json project = json::parse(text, nullptr, false);
    if (project.is_discarded())
        throw DocumentError(path + ": not a JSON document");
    if (!project.is_object() || project.value("format", json()) != Format)
        throw DocumentError(path + ": not a project of this program (\"format\" is not \"" +
                            Format + "\")");
    const json& version = reader.Member(project, "", "format_version");
    if (version != FormatVersion)
        reader.Fail("format_version", "is " + version.dump() + "; this program reads " +
                                          std::to_string(FormatVersion));
    const json& list = reader.Member(project, "", "documents");
    if (!list.is_array())
        reader.Fail("documents", "is not a list of documents");
    std::vector<ProjectDocument> documents;
    for (std::size_t i = 0; i < list.size(); ++i)
        documents.push_back(ReadDocument(reader, list[i], FieldReader::Item("documents", i), path));
    return documents;
}

} // namespace orvanel
