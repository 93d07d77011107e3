#include "document/run/RunResult.h"

#include "document/table/ReplacementFile.h"
#include "engine/estimators/Refinement.h"
#include "engine/linear/FitFigure.h"
#include "engine/search/Genetico.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>

namespace orvanel {

RunResult::RunResult(const RunRows& rows, const std::vector<ValidationData>& otherData)
    : rows(rows), otherData(otherData) {}

void RunResult::Clear() {
    result.reset();
    summaries.reset();
}

void RunResult::KeepSearchModel(std::shared_ptr<const TMISOFunTrans> model) {
    searchModel = std::move(model);
}

void RunResult::Keep(SearchPolish::Found best, int restart, bool refined, int completedSearches) {
    summaries.reset();
    searchModel = best.Searched;
    IdentifiedModel model = rows.Judged(std::move(best.Model));
    model.EstimationError = best.Error;
    model.Refined = refined;
    model.Restart = restart;
    model.Origin = best.Origin;
    model.CompletedSearches = std::max(completedSearches, 1);
    JudgeOnOtherData(model);
    result = std::move(model);
}

void RunResult::KeepSearchBest(const TGenetico& search, int completedSearches) {
    try {
        std::optional<LinearModel> model = LinearModel::From(search.BestModel());
        if (!model)
            return;
        const Refinement refinement = SearchPolish::RefinementOn(rows.Estimation());
        const double error = refinement.SquaredError(*model);
        Keep(SearchPolish::Found{std::move(*model), error, SearchPolish::SearchBestOf(search)}, 0,
             false, completedSearches);
    } catch (const std::exception&) {
        result.reset();
    }
}

// Each experiment from rest around the model's offsets, as the exported model computes it;
// the fit over all of them adds up every part's residuals and deviations from its own mean.
void RunResult::JudgeOnOtherData(IdentifiedModel& model) const {
    FitFigure all;
    for (const ValidationData& data : otherData) {
        std::vector<std::vector<double>> centred = data.Columns;
        const std::size_t count = centred.back().size();
        model.Offsets.Remove(centred);
        std::vector<std::span<const double>> inputs(centred.begin(), centred.end() - 1);
        IdentifiedModel::OtherData judged{data.Name, data.Columns.back(),
                                          model.Model.Simulate(inputs, count)};
        model.Offsets.AddToOutput(judged.Computed);
        judged.Fit = FitFigure::Percent(judged.Measured, judged.Computed, 0, count);
        all.Add(judged.Measured, judged.Computed);
        model.Validation.push_back(std::move(judged));
    }
    if (!otherData.empty())
        model.OtherDataFit = all.PooledPercent();
}

const std::vector<InputSummary>& RunResult::Summaries(std::optional<double> sampleTime) const {
    static const std::vector<InputSummary> none;
    if (!result)
        return none;
    if (!summaries || summaries->first != sampleTime)
        summaries.emplace(sampleTime,
                          ModelSummary::Of(result->Model, sampleTime, rows.Estimation()));
    return summaries->second;
}

void RunResult::WriteComputedOutput(const std::string& path, std::size_t part) const {
    if (!result || part > result->Validation.size())
        return;
    WriteValues(path, part == 0 ? result->Computed : result->Validation[part - 1].Computed);
}

void RunResult::WriteExperimentOutput(const std::string& path, std::size_t k) const {
    if (!result || k >= result->PerExperiment.size())
        return;
    const IdentifiedModel::Experiment& part = result->PerExperiment[k];
    WriteValues(
        path, std::span<const double>(result->Computed).subspan(part.Begin, part.End - part.Begin));
}

void RunResult::WriteValues(const std::string& path, std::span<const double> values) {
    ReplacementFile file(path, ReplacementFile::Links::Replace, "Cannot create the file " + path,
                         "The file " + path + " could not be written completely");
    std::string text;
    std::array<char, 40> buffer{};
    for (const double value : values) {
        std::snprintf(buffer.data(), buffer.size(), "%.17g\n", value);
        text += buffer.data();
    }
    file.Write(text);
    file.Commit();
}

} // namespace orvanel
