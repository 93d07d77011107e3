// The model a run keeps: judged on every row and on other data, summarised, written out.
#pragma once

#include "document/run/IdentifiedModel.h"
#include "document/run/ModelSummary.h"
#include "document/run/RunRows.h"
#include "document/run/SearchPolish.h"
#include "document/run/ValidationData.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orvanel {

class TGenetico;
class TMISOFunTrans;

class RunResult {
public:
    // The run's rows and other data, which must outlive this object.
    RunResult(const RunRows& rows, const std::vector<ValidationData>& otherData);

    // Forgets the model and its summaries.
    void Clear();
    // Keeps `best`, the model of search `restart` (0 the run's own) of `completedSearches`,
    // simulated over every row and judged there and on the other data; `refined` says whether
    // the run refined it. Keeps the search's best model it came with too.
    void Keep(SearchPolish::Found best, int restart, bool refined, int completedSearches);
    // Keeps the search's best model as it is, unrefined; nothing when it cannot be simulated.
    void KeepSearchBest(const TGenetico& search, int completedSearches);
    // The search's best model of the search kept, as the report shows it; null when none is.
    const std::shared_ptr<const TMISOFunTrans>& SearchModel() const { return searchModel; }
    void KeepSearchModel(std::shared_ptr<const TMISOFunTrans> model);

    // The final model with its computed output and fit figures; nothing when none is kept.
    const std::optional<IdentifiedModel>& Model() const { return result; }
    // The model's figures per input for a sample time (see ModelSummary), computed once per
    // model and sample time: their uncertainty takes a pass over the data per parameter.
    // Empty without a model.
    const std::vector<InputSummary>& Summaries(std::optional<double> sampleTime) const;

    // Writes the model's computed output to path, one value per line with 17 significant
    // digits, aside and then moved into place; throws DocumentError naming the file when it
    // cannot. Nothing without a model. Part 0 is the run's own data, part k the k-th other
    // data.
    void WriteComputedOutput(const std::string& path, std::size_t part) const;
    // The same for the rows of experiment k (from 0) of several identified together.
    void WriteExperimentOutput(const std::string& path, std::size_t k) const;
    // Values one per line with 17 significant digits, aside and moved into place; throws
    // DocumentError naming the file when it cannot.
    static void WriteValues(const std::string& path, std::span<const double> values);

private:
    void JudgeOnOtherData(IdentifiedModel& model) const;

    const RunRows& rows;
    const std::vector<ValidationData>& otherData;
    std::optional<IdentifiedModel> result;
    std::shared_ptr<const TMISOFunTrans> searchModel;
    // Summaries of `result` and the sample time they were computed for.
    mutable std::optional<std::pair<std::optional<double>, std::vector<InputSummary>>> summaries;
};

} // namespace orvanel
