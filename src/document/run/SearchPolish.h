// The polishing chain after a search: its models refined, simplified and grown.
#pragma once

#include "document/run/IdentificationOptions.h"
#include "document/run/ModelSummary.h"
#include "engine/estimators/ArxEstimate.h"
#include "engine/estimators/Refinement.h"
#include "engine/estimators/StructureSearch.h"
#include "engine/linear/LinearModel.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvanel {

class TGenetico;
class TMISOFunTrans;

// One per conclusion of a run: the estimation rows and the structure penalty are fixed, and the
// models of the established estimators are kept for the hold-out that follows. Best and
// FromEstimator may run on several threads at once, each start on one thread only.
class SearchPolish {
public:
    // The starts FromEstimator takes: the ARX and subspace models.
    static constexpr std::size_t EstimatorStarts = 2;

    // A model a search found, with its squared error on the estimation rows.
    struct Found {
        LinearModel Model;
        double Error = 0.0;
        // The best model of the search it came from.
        std::shared_ptr<const TMISOFunTrans> Searched = nullptr;
        // Whether a stop cut its refinement short.
        bool Stopped = false;
        // The estimator whose start it was refined from; empty for a search's model.
        std::string Origin = {};
        // The model its refinement started from; the hold-out repeats the work from there.
        std::optional<LinearModel> Start = std::nullopt;
    };

    // The established estimators' own models on the estimation rows, kept by the tasks that
    // start from them for the hold-out, which judges them as they are.
    struct EstimatorModels {
        std::vector<ArxEstimate::Structure> Arx;
        // Per order from 1.
        std::vector<std::optional<LinearModel>> Subspace;
    };

    // The work on the estimation rows `rows`, whose columns must outlive this object, with the
    // size penalty per parameter in squared-error units (0 without Simplify); `simplifying` is
    // set once a simplification begins.
    SearchPolish(ModelSummary::Data rows, const IdentificationOptions& options, double penalty,
                 std::atomic<bool>& simplifying);

    // Every generation's best is a start for the refinement; a generation that kept the
    // previous best adds nothing. Nothing is collected without Refine.
    static void CollectCandidate(const TGenetico& search, const IdentificationOptions& options,
                                 std::vector<LinearModel>& found);
    // The search's best model, as the report shows it under OPTIMUM SOLUTION.
    static std::shared_ptr<const TMISOFunTrans> SearchBestOf(const TGenetico& search);
    // A refinement on `rows`.
    static Refinement RefinementOn(const ModelSummary::Data& rows);
    // `start` refined and Finished with `penalty` per parameter, `refinement` and
    // `growth` on the same rows: what a start from elsewhere than a search goes through.
    static Refinement::Result Polished(const Refinement& refinement, const StructureSearch& growth,
                                       const LinearModel& start, double penalty);
    // A refined model simplified and, unless its poles are shared, grown.
    static Refinement::Result Finished(const Refinement& refinement,
                                       const StructureSearch& growth, Refinement::Result refined,
                                       double penalty);

    // A stop asked through `stop` ends the refinement with the best model found until then.
    std::optional<Found> Best(const TGenetico& search, std::vector<LinearModel> candidates,
                              const std::atomic<bool>& stop) const;
    // Estimator 0 is the ARX model, 1 the subspace model; nothing when stopped.
    std::optional<Found> FromEstimator(std::size_t estimator, const std::atomic<bool>& stop) const;
    // A model whose inputs share their poles, from the estimators' models and the
    // lowest-scoring of the first `searches` of `found`, polished as an estimator's start;
    // nothing with one input, when no start could be formed or when a stop was asked. Call it
    // once both estimators' tasks are done.
    std::optional<Found> SharedFromSearches(const std::vector<std::optional<Found>>& found,
                                            std::size_t searches,
                                            const std::atomic<bool>& stop) const;

    // A found model's error plus the penalty per parameter.
    double Score(const Found& found) const;
    // The index of the lowest score among the first `count` of `found`, the earlier among
    // equals; nothing when none of them found a model.
    std::optional<std::size_t> LowestScore(const std::vector<std::optional<Found>>& found,
                                           std::size_t count) const;
    double Penalty() const { return penalty; }
    const ModelSummary::Data& Rows() const { return rows; }
    const IdentificationOptions& Options() const { return options; }
    // Written by FromEstimator; read once its tasks are done.
    const EstimatorModels& Estimates() const { return estimates; }
    // A refinement on the estimation rows.
    Refinement EstimationRefinement() const;

private:
    // The structure search on the estimation rows that grows a model.
    StructureSearch Growth(const std::atomic<bool>& stop) const;
    std::optional<LinearModel> Estimated(std::size_t estimator) const;
    // `start` polished on the estimation rows and labelled with `origin`; nothing when stopped.
    std::optional<Found> PolishedStart(LinearModel start, std::string origin,
                                       const std::atomic<bool>& stop) const;

    ModelSummary::Data rows;
    IdentificationOptions options;
    double penalty = 0.0;
    std::atomic<bool>& simplifying;
    // Each part written by its estimator's task alone.
    mutable EstimatorModels estimates;
    mutable std::optional<LinearModel> starts[EstimatorStarts];
};

} // namespace orvanel
