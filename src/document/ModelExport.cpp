#include "document/ModelExport.h"

#include "document/DocumentError.h"
#include "document/IdentificationRun.h"
#include "document/ModelScript.h"
#include "document/ReplacementFile.h"
#include "engine/Genetico.h"
#include "engine/RunParameters.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <numeric>

namespace orvanel {
namespace {

using nlohmann::ordered_json;

std::string Lowercase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// Integral values as integers, so that a population reads 100 and not 100.0.
ordered_json Number(double value) {
    constexpr double Exact = 9007199254740992.0; // 2^53
    if (std::isfinite(value) && std::trunc(value) == value && std::fabs(value) < Exact)
        return static_cast<std::int64_t>(value);
    return value;
}

// G(1): the output's final change per unit step of the input; null (infinite) with a pole at 1.
double StaticGain(const LinearModel::Input& input) {
    const std::vector<double> numerator = input.Numerator();
    const std::vector<double> poles = input.PolePolynomial();
    return std::accumulate(numerator.begin(), numerator.end(), 0.0) /
           std::accumulate(poles.begin(), poles.end(), 0.0);
}

ordered_json InputJson(const LinearModel::Input& input) {
    std::vector<double> denominator = input.PolePolynomial();
    std::reverse(denominator.begin(), denominator.end());
    return {
        {"gain", input.Gain},   {"numerator", input.Numerator()},   {"denominator", denominator},
        {"delay", input.Delay}, {"static_gain", StaticGain(input)}, {"stable", input.Stable()}};
}

ordered_json Provenance(const ModelExport& model) {
    ordered_json parameters = ordered_json::object();
    for (const ModelExport::Setting& setting : model.Parameters) {
        parameters[setting.Name] = std::visit(
            [](const auto& value) {
                if constexpr (std::is_same_v<std::decay_t<decltype(value)>, double>)
                    return Number(value);
                else
                    return ordered_json(value);
            },
            setting.Value);
    }
    ordered_json found = {{"program", "Orvanel"},
                          {"version", ModelExport::ProgramVersion()},
                          {"data_file", model.DataFile}};
    if (model.SeedMilliseconds)
        found["seed_ms"] = *model.SeedMilliseconds;
    found["parameters"] = parameters;
    return found;
}

} // namespace

ModelExport ModelExport::Of(const IdentificationRun& run, const TGenetico& engine,
                            const std::string& dataPath, std::optional<int> seedMilliseconds,
                            std::optional<double> sampleTime) {
    const IdentifiedModel& result = *run.Result();
    ModelExport description;
    description.Model = result.Model;
    if (run.Resolved().RemoveOffsets) {
        const std::vector<double>& means = result.Offsets.Means();
        description.RemovedOffsets =
            Offsets{{means.begin(), means.end() - 1}, result.Offsets.OutputMean()};
    }
    description.SampleTime = sampleTime;
    description.Fit = {{"objective", engine.BestModel().Error},
                       {"estimation_fit_percent", result.EstimationFit}};
    if (result.ValidationBegins < result.Computed.size())
        description.Fit.push_back({"validation_fit_percent", result.ValidationFit});
    description.DataFile = std::filesystem::absolute(dataPath).string();
    description.SeedMilliseconds = seedMilliseconds;
    for (const RunParameter* parameter : RunParameters::All()) {
        const double value = parameter->Read(engine);
        std::string name(parameter->Flag.substr(2));
        if (parameter->Type == RunParameter::Kind::Choice)
            description.Parameters.push_back(
                {name, std::string(parameter->Choices[static_cast<std::size_t>(value)])});
        else
            description.Parameters.push_back({name, value});
    }
    return description;
}

std::optional<ModelExport::Format> ModelExport::FormatFor(std::string_view path) {
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string_view::npos || path[dot] != '.')
        return std::nullopt;
    const std::string extension = Lowercase(path.substr(dot));
    if (extension == ".json")
        return Format::Json;
    if (extension == ".m")
        return Format::Matlab;
    if (extension == ".py")
        return Format::Python;
    return std::nullopt;
}

std::string ModelExport::KnownExtensions() {
    return "the name must end in .json, .m (MATLAB/Octave) or .py (Python)";
}

std::string ModelExport::Json() const {
    ordered_json document = {{"format", "orvanel-model"}, {"format_version", 1}};
    ordered_json inputs = ordered_json::array();
    for (const LinearModel::Input& input : Model.Inputs)
        inputs.push_back(InputJson(input));
    document["inputs"] = inputs;
    if (RemovedOffsets) {
        document["offsets"] = {{"inputs", RemovedOffsets->InputMeans},
                               {"output", RemovedOffsets->OutputMean}};
    }
    if (SampleTime)
        document["sample_time"] = *SampleTime;
    if (!Fit.empty()) {
        ordered_json fit = ordered_json::object();
        for (const Figure& figure : Fit)
            fit[figure.Name] = figure.Value;
        document["fit"] = fit;
    }
    document["found_by"] = Provenance(*this);
    return document.dump(2) + "\n";
}

std::string ModelExport::Text(Format format) const {
    switch (format) {
    case Format::Matlab:
        return ModelScript::Matlab(*this);
    case Format::Python:
        return ModelScript::Python(*this);
    case Format::Json:
        break;
    }
    return Json();
}

void ModelExport::Write(const std::string& path) const {
    const std::string cannotCreate = "Cannot export the model to " + path;
    const std::optional<Format> format = FormatFor(path);
    if (!format)
        throw DocumentError(cannotCreate + ": " + KnownExtensions());
    ReplacementFile file(path, ReplacementFile::Links::Follow, cannotCreate,
                         "The model file " + path + " could not be written completely");
    file.Write(Text(*format));
    file.Commit();
}

std::string_view ModelExport::ProgramVersion() {
    return ORVANEL_VERSION;
}

} // namespace orvanel
