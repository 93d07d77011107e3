#include "document/project/ProjectFile.h"

#include "document/run/IdentificationRun.h"
#include "document/table/DataTable.h"
#include "document/table/DocumentFile.h"
#include "document/table/FieldReader.h"
#include "document/table/ReplacementFile.h"
#include "engine/search/RunParameters.h"
#include "model/NumberText.h"

#include <algorithm>
#include <cmath>
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
    return {
        {"table", seed.RandomTable}, {"index", seed.RandomIndex}, {"system_seed", seed.SystemSeed}};
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
    if (model.Factors && model.Factors->SharedPoles)
        entry["shared_denominator"] = true;
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
    const FieldReader::Object member(reader, value, field);
    IdentificationOptions options;
    options.RemoveOffsets = member.Boolean("remove_offsets");
    options.ValidationPercent = member.Number("validation_percent");
    options.Refine = member.Boolean("refine");
    options.Restarts = static_cast<int>(member.Integer("restarts", 1, RunParameters::MaxCount));
    options.Simplify = member.Boolean("simplify");
    options.Thorough = member.Boolean("thorough");
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
    if (value.is_array() && value.size() > IdentificationRun::MostOrder)
        reader.Fail(field, "has " + std::to_string(value.size()) +
                               " factors; a run's model has at most " +
                               std::to_string(IdentificationRun::MostOrder));
    return reader.Each(value, field, "is not a list of factors",
                       [&reader](const json& factor, const std::string& item) {
                           const std::vector<double> numbers = reader.Numbers(factor, item);
                           if (numbers.size() > 2)
                               reader.Fail(item, "is not a real root or a pair's two coefficients");
                           return numbers.size() == 1
                                      ? LinearModel::Factor{false, numbers[0], 0.0, 0.0}
                                      : LinearModel::Factor{true, 0.0, numbers[0], numbers[1]};
                       });
}

LinearModel ReadFactoredModel(const FieldReader& reader, const json& value,
                              const std::string& field) {
    if (!value.is_array() || value.empty())
        reader.Fail(field, "is not a list of transfer functions");
    LinearModel model;
    for (std::size_t k = 0; k < value.size(); ++k) {
        const FieldReader::Object member(reader, value[k], FieldReader::Item(field, k));
        LinearModel::Input input;
        input.Gain = member.Number("gain");
        input.Zeros = ReadFactors(reader, member("zeros"), member.Path("zeros"));
        input.Poles = ReadFactors(reader, member("poles"), member.Path("poles"));
        input.Delay = static_cast<int>(member.Integer("delay", 0, LongestDelay));
        model.Inputs.push_back(std::move(input));
    }
    return model;
}

// The factors with their poles shared, as the run fitted and counted them; the field must
// then describe one denominator for every input.
LinearModel SharedForm(const FieldReader& reader, const std::optional<LinearModel>& factors,
                       const std::string& field) {
    if (!factors)
        reader.Fail(field, "is true for a model without factors");
    std::optional<LinearModel> shared = factors->AsShared();
    if (!shared)
        reader.Fail(field, "is true but the inputs' poles differ");
    return std::move(*shared);
}

Rnd::State ReadSeed(const FieldReader& reader, const json& value, const std::string& field) {
    const FieldReader::Object member(reader, value, field);
    Rnd::State seed;
    const std::vector<double> table = reader.Numbers(member("table"), member.Path("table"));
    if (table.size() != seed.RandomTable.size())
        reader.Fail(member.Path("table"),
                    "does not have " + std::to_string(seed.RandomTable.size()) + " numbers");
    std::copy(table.begin(), table.end(), seed.RandomTable.begin());
    seed.RandomIndex = static_cast<int>(member.Integer("index", 0, 55));
    seed.SystemSeed = static_cast<std::uint32_t>(
        member.Integer("system_seed", 0, std::numeric_limits<std::uint32_t>::max()));
    return seed;
}

KeptModel ReadModel(const FieldReader& reader, const json& value, const std::string& field,
                    const std::string& path) {
    const FieldReader::Object member(reader, value, field);
    KeptModel model;
    model.Name = member.Text("name");
    model.Origin = member.Text("origin");
    model.Time = member.Text("time");
    model.Stopped = member.Boolean("stopped");
    model.Overlaid = member.Boolean("overlaid");
    model.ValidationBegins =
        static_cast<std::size_t>(member.Integer("validation_begins", 0, MostRows));
    model.Options = ReadOptions(reader, member("options"), member.Path("options"));
    model.Coefficients =
        ModelFile::Parse(member("model").dump(), path + ": " + member.Path("model"));
    if (member.Contains("factors")) {
        model.Factors = ReadFactoredModel(reader, member("factors"), member.Path("factors"));
        if (model.Factors->Inputs.size() != model.Coefficients.Inputs.size())
            reader.Fail(member.Path("factors"), "does not have one transfer function per input");
    }
    if (member.Contains("shared_denominator") && member.Boolean("shared_denominator"))
        model.Factors = SharedForm(reader, model.Factors, member.Path("shared_denominator"));
    if (member.Contains("seed"))
        model.Seed = ReadSeed(reader, member("seed"), member.Path("seed"));
    return model;
}

std::vector<std::string> ReadNames(const FieldReader& reader, const json& value,
                                   const std::string& field) {
    return reader.Each(
        value, field, "is not a list of names",
        [&reader](const json& name, const std::string& item) { return reader.Text(name, item); });
}

// A value the command would take for `parameter`.
double ParameterValue(const FieldReader& reader, const RunParameter& parameter, const json& value,
                      const std::string& field) {
    const double number = reader.Number(value, field);
    const bool whole = parameter.Type != RunParameter::Kind::Decimal;
    if (number < parameter.Minimum || number > parameter.Maximum ||
        (whole && number != std::floor(number)))
        reader.Fail(field, "is " + FormatGeneral(number, 15) + ", not " +
                               (whole ? "a whole number" : "a number") + " from " +
                               FormatGeneral(parameter.Minimum, 15) + " to " +
                               FormatGeneral(parameter.Maximum, 15));
    return number;
}

std::vector<std::pair<std::string, double>>
ReadParameters(const FieldReader& reader, const json& value, const std::string& field) {
    if (!value.is_object())
        reader.Fail(field, "is not a set of named numbers");
    std::vector<std::pair<std::string, double>> parameters;
    const auto known = RunParameters::All();
    for (const auto& item : value.items()) {
        const std::string& name = item.key();
        const auto parameter =
            std::find_if(known.begin(), known.end(), [&name](const RunParameter* candidate) {
                return candidate->Flag.substr(2) == name;
            });
        if (parameter == known.end())
            reader.Fail(field + "." + name, "is not a parameter of the search");
        parameters.emplace_back(
            name, ParameterValue(reader, **parameter, item.value(), field + "." + name));
    }
    return parameters;
}

ProjectDocument ReadDocument(const FieldReader& reader, const json& value, const std::string& field,
                             const std::string& path) {
    const FieldReader::Object member(reader, value, field);
    ProjectDocument document;
    document.Caption = member.Text("caption");
    const FieldReader::Object data = member.Member("data");
    if (data.Contains("path"))
        document.DataPath = data.Text("path");
    else
        document.EmbeddedRows = data.Text("rows");
    const FieldReader::Object names = member.Member("column_names");
    document.InputNames = ReadNames(reader, names("inputs"), names.Path("inputs"));
    if (document.InputNames.size() > DataTable::TypedInputsLimit)
        reader.Fail(names.Path("inputs"), "has " + std::to_string(document.InputNames.size()) +
                                              " names; a table has at most " +
                                              std::to_string(DataTable::TypedInputsLimit) +
                                              " inputs");
    document.OutputName = names.Text("output");
    if (member.Contains("sample_time")) {
        document.SampleTime = member.Number("sample_time");
        if (!(*document.SampleTime > 0.0))
            reader.Fail(member.Path("sample_time"), "is not a positive number");
    }
    document.Options = ReadOptions(reader, member("options"), member.Path("options"));
    document.Parameters = ReadParameters(reader, member("parameters"), member.Path("parameters"));
    document.Models =
        reader.Each(member("models"), member.Path("models"), "is not a list of models",
                    [&reader, &path](const json& model, const std::string& item) {
                        return ReadModel(reader, model, item, path);
                    });
    if (member.Contains("chosen"))
        document.Chosen = static_cast<std::size_t>(
            member.Integer("chosen", 0, static_cast<long long>(document.Models.size()) - 1));
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
    ReplacementFile file(path, ReplacementFile::Links::Replace, "Cannot save the project " + path,
                         "The project " + path + " could not be written completely");
    file.Write(text);
    file.Commit();
}

std::vector<ProjectDocument> ProjectFile::Read(const std::string& path) {
    return Parse(DocumentFile::ReadText(path), path);
}

std::vector<ProjectDocument> ProjectFile::Parse(const std::string& text, const std::string& path) {
    const FieldReader reader(path);
    const json project = reader.Document(text, Format, "a project of this program");
    reader.CheckVersion(project, FormatVersion);
    return reader.Each(reader.Member(project, "", "documents"), "documents",
                       "is not a list of documents",
                       [&reader, &path](const json& document, const std::string& item) {
                           return ReadDocument(reader, document, item, path);
                       });
}

} // namespace orvanel
