#include "document/run/RunReport.h"

#include "document/run/IdentificationOptions.h"
#include "document/run/IdentifiedModel.h"
#include "document/table/DocumentFile.h"
#include "engine/search/Genetico.h"
#include "model/NumberText.h"
#include "model/RunError.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace orvanel {
namespace {

constexpr std::string_view LineEnd = "\r\n";
constexpr int ParameterDigits = 15;
constexpr int RowDigits = 5;

std::string Integer(long long value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

// "Experiment 2: run2.csv, rows 501 to 1000, validation rows 901 to 1000".
std::string ExperimentLine(std::size_t number, const IdentifiedModel::Experiment& experiment) {
    std::string line = "Experiment " + Integer(static_cast<long long>(number)) + ": " +
                       experiment.Name + ", rows " +
                       Integer(static_cast<long long>(experiment.Begin) + 1) + " to " +
                       Integer(static_cast<long long>(experiment.End));
    if (experiment.ValidationBegins < experiment.End)
        line += ", validation rows " +
                Integer(static_cast<long long>(experiment.ValidationBegins) + 1) + " to " +
                Integer(static_cast<long long>(experiment.End));
    return line;
}

std::string TwoDigits(int value) {
    const int v = ((value % 100) + 100) % 100;
    return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

std::string SelectionName(int selectionType) {
    switch (selectionType) {
    case 1:
        return "Tournament Selection";
    case 2:
        return "Rank Selection";
    default:
        return "Sigma Scaling";
    }
}

} // namespace

ReportTimestamp ReportTimestamp::Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

RunReport::RunReport(ReportSeparators separators) : separators(std::move(separators)) {}

std::string RunReport::ReportPathFor(std::string_view documentPath) {
    return DocumentFile::WithoutShortExtension(documentPath).append("_Report.txt");
}

void RunReport::BeginReport(const std::string& reportPath, const TGenetico& engine,
                            const ReportTimestamp& now) {
    file.reset();
    path = reportPath;
    file = std::make_unique<ReplacementFile>(
        path, ReplacementFile::Links::Replace, "Cannot create the report file " + path,
        "The report file " + path + " could not be written completely");
    file->Write(HeadingText(engine, now));
}

void RunReport::AppendEvolutionRow(const TGenetico& engine) {
    if (file)
        file->Write(EvolutionRowText(engine));
}

void RunReport::AppendEvolutionRows(std::string_view rows) {
    if (file)
        file->Write(rows);
}

void RunReport::EndReport(const TMISOFunTrans& best, std::string_view failure,
                          std::string_view section) {
    if (!file)
        return;
    std::string text;
    text.append(LineEnd).append(LineEnd);
    if (failure.empty()) {
        text.append("OPTIMUM SOLUTION").append(LineEnd);
        const std::vector<std::string> lines = OptimumLines(best);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            text += lines[i];
            if (i + 1 < lines.size())
                text.append(LineEnd);
        }
    } else {
        text.append("RUN FAILED: ").append(failure);
    }
    if (!section.empty())
        text.append(LineEnd).append(LineEnd).append(LineEnd).append(section);
    const std::unique_ptr<ReplacementFile> ending = std::move(file);
    ending->Write(text);
    ending->Commit();
}

std::string RunReport::TemporaryPath() const {
    return file ? file->TemporaryPath() : std::string();
}

void RunReport::Abandon() {
    file.reset();
}

std::string RunReport::FailureText(const std::exception& error) {
    std::string text = error.what();
    if (RunError::IsAllEqual(error))
        text += ": fewer than two models of the population could be evaluated";
    return text;
}

std::string RunReport::HeadingText(const TGenetico& engine, const ReportTimestamp& now) const {
    const std::string date = TwoDigits(now.Month) + separators.Date + TwoDigits(now.Day) +
                             separators.Date + TwoDigits(now.Year);
    const std::string time = TwoDigits(now.Hour) + separators.Time + TwoDigits(now.Minute) +
                             separators.Time + TwoDigits(now.Second);
    const std::array<std::string, 15> lines = {
        "Report generated on " + date + " at " + time,
        "",
        "ALGORITHM PARAMETERS",
        "Population: " + Integer(engine.PopulationSize()),
        "Generations: " + Integer(engine.Generations),
        "Selection Type: " + SelectionName(engine.SelectionType),
        "Elitism: " + Integer(engine.PreservedIndividuals),
        "Mutation Probability: " + Number(engine.MutationProbability(), ParameterDigits),
        "Reproduction Probability: " + Number(engine.ReproductionProbability, ParameterDigits),
        "Selection Probability: " + Number(engine.TournamentProbability(), ParameterDigits),
        "Regeneration Period: " + Integer(engine.RegenerationPeriod),
        "Regeneration Percent: " + Number(engine.RegenerationPercent, ParameterDigits),
        "",
        "EVOLUTION",
        "Generation\tMean\tStd. Deviation\tMutations\tReproductions\tOptimum Genotype\t"
        "Optimum Fenotype\tOptimum",
    };
    std::string text;
    for (const std::string& line : lines)
        text.append(line).append(LineEnd);
    return text;
}

std::string RunReport::EvolutionRowText(const TGenetico& engine) const {
    const TMISOFunTrans& best = engine.BestModel();
    std::string genotype;
    std::string phenotype;
    for (const TFunTrans& function : best.Functions()) {
        for (const std::uint8_t bit : function.Bits())
            genotype += bit != 0 ? '1' : '0';
        genotype += " // ";
        phenotype += Localised(function.NumText) + "/" + Localised(function.DenText) + " // ";
    }
    std::string row = Integer(engine.Generation());
    row.append("\t").append(Number(engine.MeanFitness(), RowDigits));
    row.append("\t").append(Number(engine.FitnessDeviation(), RowDigits));
    row.append("\t").append(Integer(engine.Mutations()));
    row.append("\t").append(Integer(engine.Reproductions()));
    row.append("\t").append(genotype);
    row.append("\t").append(phenotype);
    row.append("\t").append(Number(best.Error, RowDigits));
    row.append(LineEnd);
    return row;
}

std::vector<std::string> RunReport::OptimumLines(const TMISOFunTrans& model) const {
    std::vector<std::string> lines;
    int input = 0;
    for (const TFunTrans& function : model.Functions()) {
        lines.push_back("Input " + Integer(++input) + ": " + Localised(function.NumText) + "/" +
                        Localised(function.DenText));
    }
    lines.push_back("Objective Function = " + Number(model.Error, ParameterDigits));
    return lines;
}

std::vector<std::string> RunReport::ModelLines(const LinearModel& model) const {
    std::vector<std::string> lines;
    int input = 0;
    for (const LinearModel::Input& part : model.Inputs) {
        TFunTrans function;
        function.Numerator = part.ZeroPolynomial();
        function.Denominator = part.PolePolynomial();
        function.Gain = part.Gain;
        function.Delay = part.Delay;
        function.BuildTexts(separators.Decimal);
        lines.push_back("Input " + Integer(++input) + ": " + function.NumText + "/" +
                        function.DenText);
    }
    return lines;
}

std::string RunReport::QualityText(const IdentifiedModel& model,
                                   const IdentificationOptions& options,
                                   std::span<const InputSummary> summaries) const {
    std::vector<std::string> lines = {"MODEL QUALITY"};
    const std::size_t rows = model.Computed.size();
    for (std::size_t k = 0; k < model.PerExperiment.size(); ++k)
        lines.push_back(ExperimentLine(k + 1, model.PerExperiment[k]));
    if (options.ValidationPercent > 0.0 && model.PerExperiment.empty()) {
        lines.push_back("Estimation rows: 1 to " +
                        Integer(static_cast<long long>(model.ValidationBegins)));
        lines.push_back(
            "Validation rows: " + Integer(static_cast<long long>(model.ValidationBegins) + 1) +
            " to " + Integer(static_cast<long long>(rows)));
    }
    for (const IdentifiedModel::Experiment& experiment : model.PerExperiment) {
        if (!options.RemoveOffsets)
            break;
        const std::vector<double>& means = experiment.Offsets.Means();
        const std::string name = " (" + experiment.Name + ")";
        for (std::size_t c = 0; c + 1 < means.size(); ++c)
            lines.push_back("Mean of input " + Integer(static_cast<long long>(c) + 1) + name +
                            ": " + Number(means[c], ParameterDigits));
        lines.push_back("Mean of the output" + name + ": " +
                        Number(experiment.Offsets.OutputMean(), ParameterDigits));
    }
    if (options.RemoveOffsets && model.PerExperiment.empty()) {
        const std::vector<double>& means = model.Offsets.Means();
        for (std::size_t c = 0; c + 1 < means.size(); ++c)
            lines.push_back("Mean of input " + Integer(static_cast<long long>(c) + 1) + ": " +
                            Number(means[c], ParameterDigits));
        lines.push_back("Mean of the output: " +
                        Number(model.Offsets.OutputMean(), ParameterDigits));
    }
    if (options.Restarts > 1) {
        const std::string searches = model.CompletedSearches < options.Restarts
                                         ? Integer(model.CompletedSearches) + " of " +
                                               Integer(options.Restarts) + " completed"
                                         : Integer(options.Restarts);
        lines.push_back("Searches: " + searches + ", the model of " +
                        (model.Origin.empty() ? "search " + Integer(model.Restart + 1)
                                              : "the " + model.Origin) +
                        " kept");
    }
    if (model.Refined) {
        lines.push_back("REFINED MODEL");
        for (std::string& line : ModelLines(model.Model))
            lines.push_back(std::move(line));
    }
    for (std::size_t k = 0; k < summaries.size(); ++k) {
        lines.push_back("INPUT " + Integer(static_cast<long long>(k) + 1));
        for (const std::string& line : ModelSummary::Lines(summaries[k]))
            lines.push_back(Localised(line));
        for (const std::string& warning : summaries[k].Warnings)
            lines.push_back("Warning: " + Localised(warning));
    }
    lines.push_back("Squared Error (estimation) = " +
                    Number(model.EstimationError, ParameterDigits));
    for (std::string& line : FitLines(model, separators.Decimal))
        lines.push_back(std::move(line));
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size())
            text.append(LineEnd);
    }
    return text;
}

std::vector<std::string> RunReport::FitLines(const IdentifiedModel& model, char decimalSeparator) {
    std::vector<std::string> lines;
    for (const IdentifiedModel::Experiment& experiment : model.PerExperiment) {
        const std::string name = ", " + experiment.Name;
        lines.push_back(FitLine("estimation" + name, experiment.EstimationFit, decimalSeparator));
        if (experiment.ValidationBegins < experiment.End)
            lines.push_back(
                FitLine("validation" + name, experiment.ValidationFit, decimalSeparator));
    }
    lines.push_back(FitLine("estimation", model.EstimationFit, decimalSeparator));
    if (model.ValidationBegins < model.Computed.size())
        lines.push_back(FitLine("validation", model.ValidationFit, decimalSeparator));
    for (const IdentifiedModel::OtherData& other : model.Validation)
        lines.push_back(FitLine(OtherDataPart(model, other.Name), other.Fit, decimalSeparator));
    if (!model.Validation.empty())
        lines.push_back(FitLine(OtherDataPart(model, {}), model.OtherDataFit, decimalSeparator));
    return lines;
}

std::string RunReport::OtherDataPart(const IdentifiedModel& model, std::string_view name) {
    std::string part = "validation";
    if (!name.empty())
        part.append(", ").append(name);
    if (!model.Offsets.Means().empty())
        part.append(AroundEstimationMeans);
    return part;
}

std::string RunReport::FitLine(std::string_view part, double percent, char decimalSeparator) {
    std::string value = "undefined";
    if (std::isfinite(percent)) {
        std::array<char, 64> buffer{};
        std::snprintf(buffer.data(), buffer.size(), "%.2f %%", percent);
        value = buffer.data();
        std::replace(value.begin(), value.end(), '.', decimalSeparator);
    }
    return "Fit (" + std::string(part) + ") = " + value;
}

std::string RunReport::Number(double value, int digits) const {
    return FormatGeneral(value, digits, separators.Decimal);
}

// The model writes its coefficient texts with a point; the report uses the locale's separator.
std::string RunReport::Localised(const std::string& modelText) const {
    std::string text = modelText;
    std::replace(text.begin(), text.end(), '.', separators.Decimal);
    return text;
}

} // namespace orvanel
