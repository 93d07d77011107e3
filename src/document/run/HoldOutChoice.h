// The choice of a thorough run's model on held-out rows, among its best candidates.
#pragma once

#include "document/run/ModelSummary.h"
#include "document/run/SearchPolish.h"
#include "engine/estimators/Refinement.h"
#include "engine/estimators/StructureSearch.h"
#include "engine/linear/LinearModel.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace orvanel {

// Each candidate is fitted on the first part of every experiment's estimation rows and judged
// on the rest, so that a model that drifts, or fits chance, loses there.
class HoldOutChoice {
public:
    using Found = SearchPolish::Found;
    // Runs task(0) .. task(count - 1), perhaps on other threads, and returns when all are done.
    using Serve =
        std::function<void(std::size_t count, const std::function<void(std::size_t)>& task)>;

    // The candidates among `found` (the first `searches` the searches', the rest the
    // estimators') and the established estimators' models `polish` kept, on the estimation
    // rows `rows`. `polish` and the columns `rows` views must outlive this object; a stop asked
    // through `stop` cuts the refits short.
    HoldOutChoice(ModelSummary::Data rows, const SearchPolish& polish,
                  const std::vector<std::optional<Found>>& found, std::size_t searches,
                  const std::atomic<bool>& stop);

    // The candidate of the lowest held-out score, every candidate judged through `serve`, and
    // the search it came from; nothing when nothing was found or the stop was asked meanwhile.
    // Rethrows the first failure of a candidate's judgement.
    std::optional<std::pair<Found, int>> Choose(const Serve& serve);
    // The candidates to judge, none when nothing was found.
    std::size_t Count() const { return pool.size(); }

private:
    // The rows the hold-out fits on (copied with several experiments) and those it judges.
    struct HoldOutRows {
        std::vector<std::vector<double>> Owned;
        std::vector<std::span<const double>> Inputs;
        std::span<const double> Output;
        std::size_t Rows = 0;
        Experiments Parts;
        std::vector<Experiments::Part> Judged;
    };
    struct HoldOutCandidate {
        Found Kept;
        int Search = 0;
        // The model fitted on the part alone; nothing for one to refine there.
        std::optional<LinearModel> PartFit;
    };

    // Candidate c's squared error on the held-out rows, fitted on the part, plus the penalty
    // per parameter in proportion to those rows; infinite when its simulation is not finite.
    // Several candidates may be judged at once on other threads.
    double HeldOutScore(std::size_t c) const;
    // The candidate of the lowest of `scores` (one per candidate, the earlier among equals)
    // and the search it came from.
    std::pair<Found, int> Chosen(const std::vector<double>& scores);
    static HoldOutRows HoldOutSplit(const ModelSummary::Data& rows);
    std::vector<HoldOutCandidate> HoldOutPool(const std::vector<std::optional<Found>>& found,
                                              std::size_t searches) const;
    // The found model fitted on the part by the work that found it, repeated from its start.
    LinearModel Refitted(const Found& found) const;

    ModelSummary::Data rows;
    const SearchPolish& polish;
    const std::atomic<bool>& stop;
    HoldOutRows held;
    std::vector<HoldOutCandidate> pool;
    Refinement part;
    StructureSearch partSearch;
    double heldOutPenalty = 0.0;
};

} // namespace orvanel
