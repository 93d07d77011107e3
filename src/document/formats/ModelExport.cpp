#include "document/formats/ModelExport.h"

#include "document/formats/ModelScript.h"
#include "document/run/IdentificationRun.h"
#include "document/table/DocumentError.h"
#include "document/table/ReplacementFile.h"
#include "document/table/TextEncoding.h"
#include "engine/search/Genetico.h"
#include "engine/search/RunParameters.h"

#include <algorithm>
#include <cmath>
#include <complex>
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

// MATLAB's and Octave's keywords together, each between spaces: none can name a script.
constexpr std::string_view MatlabKeywords =
    " break case catch classdef continue do else elseif end end_try_catch "
    "end_unwind_protect endarguments endclassdef endenumeration endevents endfor "
    "endfunction endif endmethods endparfor endproperties endspmd endswitch endwhile "
    "enumeration events for function global if methods otherwise parfor persistent "
    "properties return spmd switch try until unwind_protect unwind_protect_cleanup while ";

// MATLAB's namelengthmax.
constexpr std::size_t LongestMatlabName = 63;

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsMatlabIdentifier(std::string_view name) {
    return !name.empty() && name.size() <= LongestMatlabName && IsAsciiLetter(name.front()) &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_';
           });
}

std::optional<std::string> MatlabNameRefusal(std::string_view name, std::string_view stem) {
    if (!IsMatlabIdentifier(stem))
        return "MATLAB and Octave run a script by its name, which must begin with a letter and "
               "hold only letters, digits and underscores, at most " +
               std::to_string(LongestMatlabName);
    if (MatlabKeywords.find(" " + std::string(stem) + " ") != std::string_view::npos)
        return std::string(stem) + " is a MATLAB/Octave keyword, which cannot name a script";
    for (const std::string_view function : ModelScript::MatlabFunctions()) {
        if (Lowercase(stem) == Lowercase(function))
            return "a script named " + std::string(name) + " would replace the function " +
                   std::string(function) + " that it calls, for every script run from its folder";
    }
    return std::nullopt;
}

std::optional<std::string> PythonNameRefusal(std::string_view name, std::string_view stem) {
    for (const std::string_view module : ModelScript::PythonModules()) {
        if (stem == module)
            return "the script would import " + std::string(name) + " in place of the module " +
                   std::string(module);
    }
    return std::nullopt;
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

ordered_json FiguresJson(const ProcessFigures& f) {
    ordered_json pairs = ordered_json::array();
    for (const ProcessFigures::Pair& p : f.Pairs)
        pairs.push_back({{"natural_frequency", p.NaturalFrequency}, {"damping", p.Damping}});
    ordered_json zeros = ordered_json::array();
    for (const std::complex<double>& z : f.ZerosS)
        zeros.push_back({{"real", z.real()}, {"imag", z.imag()}});
    ordered_json summary = {{"static_gain", f.StaticGain},
                            {"delay_samples", f.DelaySamples},
                            {"dead_time", f.DeadTime},
                            {"continuous", f.HasContinuous}};
    if (!f.Note.empty())
        summary["note"] = f.Note;
    summary["time_constants"] = f.TimeConstants;
    summary["pairs"] = pairs;
    summary["zeros_s"] = zeros;
    summary["fopdt"] = nullptr;
    if (f.Fopdt)
        summary["fopdt"] = {{"gain", f.Fopdt->Gain},
                            {"time_constant", f.Fopdt->TimeConstant},
                            {"dead_time", f.Fopdt->DeadTime}};
    summary["sopdt"] = nullptr;
    if (f.Sopdt)
        summary["sopdt"] = {{"gain", f.Sopdt->Gain},
                            {"time_constant_1", f.Sopdt->TimeConstant1},
                            {"time_constant_2", f.Sopdt->TimeConstant2},
                            {"dead_time", f.Sopdt->DeadTime}};
    summary["step"] = {{"rise_time", f.StepFigures.RiseTime},
                       {"settling_time", f.StepFigures.SettlingTime},
                       {"overshoot_percent", f.StepFigures.OvershootPercent}};
    summary["units"] = f.Units();
    return summary;
}

ordered_json LoopJson(const ControllerTuning::ClosedLoop& loop) {
    return {{"settling_time", loop.SettlingTime}, {"overshoot_percent", loop.OvershootPercent}};
}

ordered_json TuningJson(const std::optional<ControllerTuning::Settings>& t) {
    if (!t)
        return nullptr;
    return {{"rule", t->Rule},
            {"form", t->Form},
            {"units", t->Units},
            {"tau_c", t->TauC},
            {"pi", {{"kc", t->Pi.Kc}, {"ti", t->Pi.Ti}, {"closed_loop", LoopJson(t->PiLoop)}}},
            {"pid",
             {{"kc", t->Pid.Kc},
              {"ti", t->Pid.Ti},
              {"td", t->Pid.Td},
              {"closed_loop", LoopJson(t->PidLoop)}}}};
}

ordered_json InputJson(const LinearModel::Input& input, const InputSummary& summary) {
    std::vector<double> denominator = input.PolePolynomial();
    std::reverse(denominator.begin(), denominator.end());
    return {
        {"gain", input.Gain},
        {"numerator", input.Numerator()},
        {"denominator", denominator},
        {"delay", input.Delay},
        {"static_gain", StaticGain(input)},
        {"stable", input.Stable()},
        {"summary", FiguresJson(summary.Figures)},
        {"std", {{"numerator", summary.Std.Numerator}, {"denominator", summary.Std.Denominator}}},
        {"warnings", summary.Warnings},
        {"tuning", TuningJson(summary.Tuning)}};
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
                          {"data_file", TextEncoding::Printable(model.DataFile)}};
    if (model.SeedMilliseconds)
        found["seed_ms"] = *model.SeedMilliseconds;
    else if (model.StartState)
        found["random_state"] = {{"table", model.StartState->RandomTable},
                                 {"index", model.StartState->RandomIndex},
                                 {"system_seed", model.StartState->SystemSeed}};
    if (model.EditedRows) {
        // The data file does not hold the rows the model was found on.
        found["data_edited"] = true;
        found["rows_used"] = *model.EditedRows;
    }
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
    description.Fit = {{"objective", run.KeptSearchModel().Error},
                       {"estimation_fit_percent", result.EstimationFit}};
    if (result.ValidationBegins < result.Computed.size())
        description.Fit.push_back({"validation_fit_percent", result.ValidationFit});
    for (std::size_t k = 0; k < result.PerExperiment.size(); ++k) {
        const IdentifiedModel::Experiment& experiment = result.PerExperiment[k];
        const std::string number = "_experiment_" + std::to_string(k + 1);
        description.Fit.push_back({"estimation_fit_percent" + number, experiment.EstimationFit});
        if (experiment.ValidationBegins < experiment.End)
            description.Fit.push_back(
                {"validation_fit_percent" + number, experiment.ValidationFit});
    }
    if (!result.Validation.empty())
        description.Fit.push_back({"validation_fit_percent", result.OtherDataFit});
    description.DataFile = std::filesystem::absolute(dataPath).string();
    if (run.DataEdited)
        description.EditedRows = run.Rows();
    description.SeedMilliseconds = seedMilliseconds;
    description.Summaries = run.Summaries(sampleTime);
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

std::string ModelExport::InputName(std::size_t k) const {
    return k < InputNames.size() ? InputNames[k] : "Input " + std::to_string(k + 1);
}

std::string ModelExport::OutputNameOrDefault() const {
    return OutputName.empty() ? std::string("Output") : OutputName;
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

std::optional<std::string> ModelExport::Refusal(std::string_view path) {
    const std::optional<Format> format = FormatFor(path);
    if (!format)
        return KnownExtensions();
    const std::string_view name = path.substr(path.find_last_of('/') + 1);
    const std::string_view stem = name.substr(0, name.find_last_of('.'));
    if (*format == Format::Matlab)
        return MatlabNameRefusal(name, stem);
    if (*format == Format::Python)
        return PythonNameRefusal(name, stem);
    return std::nullopt;
}

std::string ModelExport::Json() const {
    ordered_json document = {{"format", "orvanel-model"}, {"format_version", 1}};
    const std::vector<InputSummary> summaries =
        Summaries.size() == Model.Inputs.size() ? Summaries : ModelSummary::Of(Model, SampleTime);
    ordered_json inputs = ordered_json::array();
    for (std::size_t k = 0; k < Model.Inputs.size(); ++k) {
        ordered_json input = InputJson(Model.Inputs[k], summaries[k]);
        if (!InputNames.empty()) {
            ordered_json named = {{"name", TextEncoding::Printable(InputName(k))}};
            named.update(input);
            input = std::move(named);
        }
        inputs.push_back(std::move(input));
    }
    // The poles were fitted and counted once for all inputs; each input still carries them.
    if (Model.SharedPoles)
        document["shared_denominator"] = true;
    document["inputs"] = inputs;
    if (!OutputName.empty())
        document["output"] = {{"name", TextEncoding::Printable(OutputName)}};
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
    if (const std::optional<std::string> refusal = Refusal(path))
        throw DocumentError(cannotCreate + ": " + *refusal);
    const Format format = *FormatFor(path);
    // A link in the export's place is replaced, never followed: in a shared folder it could
    // lead to anybody's file.
    ReplacementFile file(path, ReplacementFile::Links::Replace, cannotCreate,
                         "The model file " + path + " could not be written completely");
    file.Write(Text(format));
    file.Commit();
}

std::string_view ModelExport::ProgramVersion() {
    return ORVANEL_VERSION;
}

} // namespace orvanel
