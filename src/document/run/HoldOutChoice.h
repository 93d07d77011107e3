// The choice of a thorough run's model on held-out rows, among its best candidates.
#pragma once

#include "document/run/ModelSummary.h"
#include "document/run/SearchPolish.h"
#include "engine/estimators/ArxEstimate.h"
#include "engine/estimators/SubspaceEstimate.h"
#include "engine/linear/LinearModel.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace orvanel {

// Each candidate's structure is refitted on all but one block of every experiment's
// estimation rows and judged on that block, once per block, the errors pooled: a model that
// drifts, or fits chance, loses on the blocks it did not see, and no single split decides. The
// chosen candidate keeps the coefficients it has on all estimation rows.
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

    // The candidate of the lowest pooled held-out score, every candidate judged through
    // `serve`, and the search it came from; nothing when nothing was found or the stop was
    // asked meanwhile. Rethrows the first failure of a candidate's judgement.
    std::optional<std::pair<Found, int>> Choose(const Serve& serve);
    // The candidates to judge, none when nothing was found.
    std::size_t Count() const { return pool.size(); }

private:
    // The rows one fold fits on (copied, each run of them an experiment) and those it judges.
    struct Fold {
        std::vector<std::vector<double>> Owned;
        std::vector<std::span<const double>> Inputs;
        std::span<const double> Output;
        std::size_t Rows = 0;
        Experiments Parts;
        std::vector<Experiments::Part> Judged;
    };
    // How a candidate's structure is fitted anew on a fold's rows.
    enum class Refit { Refined, Arx, Subspace };
    struct Candidate {
        Found Kept;
        int Search = 0;
        Refit How = Refit::Refined;
        // The estimator's order and the ARX model's delays.
        int Order = 0;
        std::vector<int> Delays = {};
        // The input left out: a model of the others, refitted without it.
        std::optional<std::size_t> Without = std::nullopt;
        // Whether two of its inputs' responses cancel over the estimation rows.
        bool Cancelling = false;
    };

    // Candidate c's squared error on fold f's judged rows, fitted on the fold's other rows;
    // infinite when that fit fails or its simulation is not finite. Several may be judged at
    // once on other threads.
    double FoldError(std::size_t c, std::size_t f) const;
    std::optional<LinearModel> FittedOn(const Candidate& candidate, const Fold& fold) const;
    // The candidate fitted on the rows given, which lack its Without input if it has one.
    std::optional<LinearModel> FittedWithout(const Candidate& candidate,
                                             const std::vector<std::span<const double>>& inputs,
                                             std::span<const double> output, std::size_t count,
                                             const Experiments& parts) const;
    void AddEstimates(std::vector<Candidate>& pool,
                      const std::vector<ArxEstimate::Structure>& arx,
                      const std::vector<std::optional<LinearModel>>& subspace,
                      std::optional<std::size_t> without) const;
    // The candidate of the lowest of `scores` (one per candidate, the earlier among equals)
    // and the search it came from.
    std::pair<Found, int> Chosen(const std::vector<double>& scores);
    // Marks the candidates whose inputs cancel and returns every input of such a pair, once.
    std::vector<std::size_t> MarkCancelling();
    // The model without input `k`: from the ARX estimate of the others, polished on the
    // estimation rows; nothing when there is none or a stop was asked.
    std::vector<Candidate> WithoutInput(std::size_t k) const;
    // Candidates without each input of `inputs`, fitted through `serve`, added to the pool.
    void AddWithoutInputs(const std::vector<std::size_t>& inputs, const Serve& serve);
    static std::vector<Fold> FoldsOf(const ModelSummary::Data& rows);
    static Fold FoldOf(const ModelSummary::Data& rows, std::size_t fitted);
    std::vector<Candidate> Pool(const std::vector<std::optional<Found>>& found,
                                std::size_t searches) const;

    ModelSummary::Data rows;
    const SearchPolish& polish;
    const std::atomic<bool>& stop;
    std::vector<Fold> folds;
    std::vector<Candidate> pool;
    // The penalty per parameter in proportion to the rows judged.
    double judgedPenalty = 0.0;
};

} // namespace orvanel
