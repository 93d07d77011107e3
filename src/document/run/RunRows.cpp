#include "document/run/RunRows.h"

#include "document/run/IdentificationRun.h"
#include "document/table/TableSamples.h"
#include "engine/linear/FitFigure.h"
#include "model/MISOFunTrans.h"
#include "model/NumberText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

namespace orvanel {
namespace {

// A held-out part, and what is left for the estimation, judge nothing below this many rows.
constexpr int LeastPartRows = 10;
// An input this large makes the output of any model the search draws overflow its error.
constexpr double LargeInputValue = 1e100;

std::string RowsText(long long rows) {
    return std::to_string(rows) + (rows == 1 ? " row" : " rows");
}

std::string PercentText(double percent) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%g", percent);
    return buffer.data();
}

int NeededRows(int inputs) {
    return inputs * IdentificationRun::GenesPerInput + 1;
}

// A model with as many coefficients as samples fits any data: the data must have more rows
// than the genes that shape a model of their inputs.
std::optional<std::string> GenesRefusal(int rows, int inputs) {
    const int needed = NeededRows(inputs);
    if (rows >= needed)
        return std::nullopt;
    return "The data have " + RowsText(rows) + "; a model of " + std::to_string(inputs) +
           (inputs == 1 ? " input" : " inputs") + " needs at least " + std::to_string(needed) +
           " (one more than its " + std::to_string(needed - 1) + " genes).";
}

// With a validation part, each part must have rows enough to tell anything.
std::optional<std::string> PartsRefusal(int rows, int leastEstimation,
                                        const IdentificationOptions& options) {
    if (options.ValidationPercent <= 0.0)
        return std::nullopt;
    const int validation = options.ValidationRows(rows);
    const int estimation = rows - validation;
    if (validation >= LeastPartRows && estimation >= leastEstimation)
        return std::nullopt;
    return "A validation part of " + PercentText(options.ValidationPercent) + " % leaves " +
           RowsText(validation) + " of " + std::to_string(rows) + " for validation and " +
           RowsText(estimation) + " for estimation; the validation part needs at least " +
           std::to_string(LeastPartRows) + " and the estimation part at least " +
           std::to_string(leastEstimation) + ".";
}

std::optional<std::string> RowsRefusal(int rows, int inputs, const IdentificationOptions& options) {
    if (auto refusal = GenesRefusal(rows, inputs))
        return refusal;
    return PartsRefusal(rows, std::max(LeastPartRows, NeededRows(inputs)), options);
}

double SquaredDeviation(std::span<const double> values) {
    if (values.empty())
        return 0.0;
    double mean = 0.0;
    for (const double v : values)
        mean = mean + v;
    mean = mean / static_cast<double>(values.size());
    double sum = 0.0;
    for (const double v : values)
        sum = sum + (v - mean) * (v - mean);
    return sum;
}

} // namespace

std::optional<std::string> RunRows::Take(std::span<const TableSamples> experiments,
                                         std::vector<std::string> experimentNames,
                                         const IdentificationOptions& options) {
    resolved = options;
    names.clear();
    for (std::size_t k = 0; experiments.size() > 1 && k < experiments.size(); ++k)
        names.push_back(k < experimentNames.size() ? std::move(experimentNames[k])
                                                   : "experiment " + std::to_string(k + 1));
    const int inputs = experiments.empty() ? 0 : experiments.front().Inputs();
    if (!names.empty()) {
        if (auto refusal = ExperimentRowsRefusal(experiments, inputs))
            return refusal;
    }
    TakeExperiments(experiments);
    const auto rows = measured.size();
    if (names.empty()) {
        if (auto refusal = RowsRefusal(static_cast<int>(rows), inputs, resolved))
            return refusal;
    }
    if (names.empty()) {
        estimationRows =
            rows - static_cast<std::size_t>(resolved.ValidationRows(static_cast<int>(rows)));
        offsets = resolved.RemoveOffsets ? ColumnOffsets::Measure(columns, estimationRows)
                                         : ColumnOffsets();
        offsets.Remove(columns);
    } else {
        SeparateExperiments();
    }
    return std::nullopt;
}

double RunRows::OutputDeviation() const {
    double deviation = 0.0;
    for (const Experiments::Part& part : estimationParts.Parts(estimationRows))
        deviation =
            deviation +
            SquaredDeviation(
                EstimationColumn(columns.size() - 1).subspan(part.Begin, part.End - part.Begin));
    return deviation;
}

// Every experiment's columns laid end to end, as measured; each one's validation part.
void RunRows::TakeExperiments(std::span<const TableSamples> experiments) {
    const auto width =
        static_cast<std::size_t>(experiments.empty() ? 0 : experiments.front().Inputs()) + 1;
    std::size_t rows = 0;
    for (const TableSamples& samples : experiments)
        rows += static_cast<std::size_t>(samples.Samples());
    columns.assign(width, std::vector<double>(rows));
    std::vector<std::size_t> starts;
    validationBegins.clear();
    std::size_t next = 0;
    for (const TableSamples& samples : experiments) {
        starts.push_back(next);
        for (int r = 0; r < samples.Samples(); ++r, ++next) {
            const std::span<const double> row = samples.Row(r);
            for (std::size_t c = 0; c < width && c < row.size(); ++c)
                columns[c][next] = row[c];
        }
        validationBegins.push_back(
            next - static_cast<std::size_t>(resolved.ValidationRows(samples.Samples())));
    }
    measured = columns.back();
    allParts = names.empty() ? Experiments() : Experiments(starts);
    estimationParts = Experiments();
    estimationColumns.clear();
    experimentOffsets.clear();
}

// Each experiment must have the run's inputs and, with a validation part, rows enough in
// both parts; together their estimation rows must outnumber the genes.
std::optional<std::string> RunRows::ExperimentRowsRefusal(std::span<const TableSamples> experiments,
                                                          int inputs) const {
    int estimation = 0;
    for (std::size_t k = 0; k < experiments.size(); ++k) {
        const std::string name = "Experiment " + std::to_string(k + 1) + " (" + names[k] + ")";
        if (experiments[k].Inputs() != inputs)
            return name + " has " + std::to_string(experiments[k].Inputs()) +
                   " inputs; experiment 1 has " + std::to_string(inputs) + ".";
        const int rows = experiments[k].Samples();
        if (rows == 0)
            return name + " has no rows.";
        if (auto refusal = PartsRefusal(rows, LeastPartRows, resolved))
            return name + ": " + *refusal;
        estimation += rows - resolved.ValidationRows(rows);
    }
    return GenesRefusal(estimation, inputs);
}

// Each experiment around its own means over its estimation rows, and those rows of every
// experiment gathered; the run's offsets are the means over all of them.
void RunRows::SeparateExperiments() {
    const std::vector<Experiments::Part> parts = allParts.Parts(measured.size());
    estimationColumns.assign(columns.size(), {});
    std::vector<std::size_t> estimationStarts;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const auto begin = static_cast<std::ptrdiff_t>(parts[k].Begin);
        const auto kept = static_cast<std::ptrdiff_t>(validationBegins[k] - parts[k].Begin);
        std::vector<std::vector<double>> own;
        for (const std::vector<double>& column : columns)
            own.emplace_back(column.begin() + begin,
                             column.begin() + static_cast<std::ptrdiff_t>(parts[k].End));
        estimationStarts.push_back(estimationColumns.front().size());
        for (std::size_t c = 0; c < columns.size(); ++c)
            estimationColumns[c].insert(estimationColumns[c].end(), own[c].begin(),
                                        own[c].begin() + kept);
        experimentOffsets.push_back(
            resolved.RemoveOffsets ? ColumnOffsets::Measure(own, static_cast<std::size_t>(kept))
                                   : ColumnOffsets());
        experimentOffsets.back().Remove(own);
        for (std::size_t c = 0; c < columns.size(); ++c)
            std::copy(own[c].begin(), own[c].end(), columns[c].begin() + begin);
    }
    estimationRows = estimationColumns.front().size();
    offsets = resolved.RemoveOffsets ? ColumnOffsets::Measure(estimationColumns, estimationRows)
                                     : ColumnOffsets();
    for (std::size_t k = 0; k < parts.size(); ++k) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            std::copy(columns[c].begin() + static_cast<std::ptrdiff_t>(parts[k].Begin),
                      columns[c].begin() + static_cast<std::ptrdiff_t>(validationBegins[k]),
                      estimationColumns[c].begin() +
                          static_cast<std::ptrdiff_t>(estimationStarts[k]));
    }
    estimationParts = Experiments(estimationStarts);
}

std::optional<std::string> RunRows::ConstantOutputRefusal() const {
    const std::vector<Experiments::Part> parts = allParts.Parts(measured.size());
    std::optional<double> first;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        for (std::size_t r = parts[k].Begin; r < validationBegins[k]; ++r) {
            if (!first)
                first = measured[r];
            else if (measured[r] != *first)
                return std::nullopt;
        }
    }
    if (!first)
        return std::nullopt;
    return "The output is " + FormatGeneral(*first, 15) + " in every " +
           (resolved.ValidationPercent > 0.0 ? "estimation row" : "row") +
           ": a model has no variation to fit.";
}

// When no model of the first population could be scored because of the data: values so large
// that every model's squared error leaves the range the engine scores. Names the largest value
// to blame, as the search saw it (offsets removed).
std::string RunRows::OverflowCause() const {
    if (columns.empty())
        return {};
    // The engine scales each residual and fails a model whose error passes DivergedError: an
    // output that gets there on its own fails every model.
    constexpr double scale = TMISOFunTrans::ResidualScale;
    double outputError = 0.0;
    for (const double y : columns.back())
        outputError = outputError + (y / scale) * (y / scale);
    const bool outputOverflows = !(outputError < TMISOFunTrans::DivergedError);
    const std::size_t first = outputOverflows ? columns.size() - 1 : 0;
    const std::size_t end = outputOverflows ? columns.size() : columns.size() - 1;
    std::size_t column = first;
    std::size_t row = 0;
    for (std::size_t c = first; c < end; ++c) {
        for (std::size_t r = 0; r < columns[c].size(); ++r) {
            if (std::fabs(columns[c][r]) > std::fabs(columns[column][row])) {
                column = c;
                row = r;
            }
        }
    }
    const double value = end > first && row < columns[column].size() ? columns[column][row] : 0.0;
    if (!outputOverflows && !(std::fabs(value) >= LargeInputValue))
        return {};
    return "; the value " + FormatGeneral(value, 5) + " in row " + std::to_string(row + 1) +
           ", column " + std::to_string(column + 1) +
           " is too large: the squared errors overflow. Scale the data down.";
}

ModelSummary::Data RunRows::Estimation() const {
    if (columns.empty())
        return {};
    return {EstimationInputs(), EstimationColumn(columns.size() - 1), estimationRows,
            estimationParts};
}

// The first estimationRows rows of column c, or with several experiments the estimation rows
// of each.
std::span<const double> RunRows::EstimationColumn(std::size_t c) const {
    if (estimationColumns.empty())
        return std::span<const double>(columns[c]).first(estimationRows);
    return estimationColumns[c];
}

std::vector<std::span<const double>> RunRows::EstimationInputs() const {
    std::vector<std::span<const double>> inputs;
    for (std::size_t c = 0; c + 1 < columns.size(); ++c)
        inputs.push_back(EstimationColumn(c));
    return inputs;
}

std::vector<std::span<const double>> RunRows::InputColumns(std::size_t rows) const {
    std::vector<std::span<const double>> inputs;
    for (std::size_t c = 0; c + 1 < columns.size(); ++c)
        inputs.emplace_back(std::span<const double>(columns[c]).first(rows));
    return inputs;
}

IdentifiedModel RunRows::Judged(LinearModel found) const {
    IdentifiedModel model;
    const std::size_t rows = measured.size();
    model.Computed = found.Simulate(InputColumns(rows), rows, allParts);
    model.Model = std::move(found);
    model.Offsets = offsets;
    if (names.empty()) {
        offsets.AddToOutput(model.Computed);
        model.ValidationBegins = estimationRows;
        model.EstimationFit = FitFigure::Percent(measured, model.Computed, 0, estimationRows);
        if (estimationRows < rows)
            model.ValidationFit =
                FitFigure::Percent(measured, model.Computed, estimationRows, rows);
    } else {
        JudgeExperiments(model);
    }
    return model;
}

// Each experiment's own output mean added back and its fit figures; the fit over all of
// them adds up every part's residuals and deviations from its own mean.
void RunRows::JudgeExperiments(IdentifiedModel& model) const {
    FitFigure estimation;
    FitFigure validation;
    const std::span<const double> computed(model.Computed);
    const std::span<const double> measuredRows(measured);
    const std::vector<Experiments::Part> parts = allParts.Parts(measured.size());
    for (std::size_t k = 0; k < parts.size(); ++k) {
        IdentifiedModel::Experiment judged{names[k], parts[k].Begin, validationBegins[k],
                                           parts[k].End, experimentOffsets[k]};
        judged.Offsets.AddToOutput(
            std::span<double>(model.Computed).subspan(judged.Begin, judged.End - judged.Begin));
        judged.EstimationFit =
            FitFigure::Percent(measured, model.Computed, judged.Begin, judged.ValidationBegins);
        estimation.Add(measuredRows.subspan(judged.Begin, judged.ValidationBegins - judged.Begin),
                       computed.subspan(judged.Begin, judged.ValidationBegins - judged.Begin));
        if (judged.ValidationBegins < judged.End) {
            judged.ValidationFit =
                FitFigure::Percent(measured, model.Computed, judged.ValidationBegins, judged.End);
            validation.Add(
                measuredRows.subspan(judged.ValidationBegins, judged.End - judged.ValidationBegins),
                computed.subspan(judged.ValidationBegins, judged.End - judged.ValidationBegins));
        }
        model.PerExperiment.push_back(std::move(judged));
    }
    model.EstimationFit = estimation.PooledPercent();
    model.ValidationBegins = model.Computed.size();
    if (!parts.empty() && validationBegins.front() < parts.front().End) {
        model.ValidationBegins = validationBegins.front();
        model.ValidationFit = validation.PooledPercent();
    }
}

} // namespace orvanel
