#include "document/run/HoldOutChoice.h"

#include "engine/estimators/ArxEstimate.h"
#include "engine/estimators/SubspaceEstimate.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace orvanel {
namespace {

// A thorough run chooses among this many of its best distinct structures by a hold-out.
constexpr std::size_t HoldOutCandidates = 3;
// The share of the estimation rows each of them is refitted on; the rest judges them.
constexpr double HoldOutFitShare = 0.7;

} // namespace

// The pool's candidates are judged by the squared error on the held-out rows of the model
// fitted on the part, simulated from each experiment's first row, plus the penalty per
// parameter in proportion to those rows. A found model is fitted on the part by the work that
// found it, repeated from its start (its own coefficients have seen the rows that judge it); an
// estimator's model is estimated anew there with its orders and delays.
HoldOutChoice::HoldOutChoice(ModelSummary::Data estimation, const SearchPolish& polish,
                             const std::vector<std::optional<Found>>& found, std::size_t searches,
                             const std::atomic<bool>& stop)
    : rows(std::move(estimation)), polish(polish), stop(stop), held(HoldOutSplit(rows)),
      pool(HoldOutPool(found, searches)), part(held.Inputs, held.Output, held.Rows, held.Parts),
      partSearch(held.Inputs, held.Output, held.Rows, held.Parts) {
    part.Stop = &stop;
    partSearch.Stop = &stop;
    std::size_t judgedRows = 0;
    for (const Experiments::Part& judged : held.Judged)
        judgedRows += judged.End - judged.Begin;
    heldOutPenalty =
        polish.Penalty() * static_cast<double>(judgedRows) / static_cast<double>(rows.Rows);
}

LinearModel HoldOutChoice::Refitted(const Found& found) const {
    return SearchPolish::Polished(part, partSearch, found.Start.value_or(found.Model),
                                  polish.Penalty())
        .Model;
}

// The first HoldOutFitShare of every experiment's estimation rows, end to end, to fit on; the
// rest of each is judged. One experiment's part is the first rows of its columns as they are.
HoldOutChoice::HoldOutRows HoldOutChoice::HoldOutSplit(const ModelSummary::Data& rows) {
    HoldOutRows held;
    if (rows.Parts.Single()) {
        held.Rows = static_cast<std::size_t>(static_cast<double>(rows.Rows) * HoldOutFitShare);
        for (const std::span<const double> input : rows.Inputs)
            held.Inputs.emplace_back(input.first(held.Rows));
        held.Output = rows.Output.first(held.Rows);
        held.Judged.push_back({held.Rows, rows.Rows});
        return held;
    }
    std::vector<std::size_t> starts;
    const std::size_t width = rows.Inputs.size() + 1;
    held.Owned.resize(width);
    for (const Experiments::Part& part : rows.Parts.Parts(rows.Rows)) {
        const std::size_t split =
            part.Begin +
            static_cast<std::size_t>(static_cast<double>(part.End - part.Begin) * HoldOutFitShare);
        held.Judged.push_back({split, part.End});
        // An experiment of one row is judged whole.
        if (split == part.Begin)
            continue;
        starts.push_back(held.Rows);
        held.Rows += split - part.Begin;
        for (std::size_t c = 0; c < width; ++c) {
            const std::span<const double> column = c + 1 < width ? rows.Inputs[c] : rows.Output;
            held.Owned[c].insert(held.Owned[c].end(),
                                 column.begin() + static_cast<std::ptrdiff_t>(part.Begin),
                                 column.begin() + static_cast<std::ptrdiff_t>(split));
        }
    }
    for (std::size_t c = 0; c + 1 < width; ++c)
        held.Inputs.emplace_back(held.Owned[c]);
    held.Output = held.Owned.back();
    if (starts.size() > 1)
        held.Parts = Experiments(std::move(starts));
    return held;
}

// The few best distinct structures by error plus penalty among what was found, as many with
// shared poles beside those without (a shared form that fits the estimation rows a little
// better would otherwise crowd out the models that do well on held-out rows), then the
// established estimators' own models that explain more than the simplest model, each with
// its fit on the hold-out's part.
std::vector<HoldOutChoice::HoldOutCandidate>
HoldOutChoice::HoldOutPool(const std::vector<std::optional<Found>>& found,
                           std::size_t searches) const {
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < found.size(); ++k)
        if (found[k])
            order.push_back(k);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return polish.Score(*found[a]) < polish.Score(*found[b]);
    });
    std::vector<HoldOutCandidate> pool;
    for (const std::size_t k : order) {
        const bool seen = std::any_of(pool.begin(), pool.end(), [&](const HoldOutCandidate& c) {
            return c.Kept.Model.SameStructure(found[k]->Model);
        });
        const bool shared = found[k]->Model.SharedPoles;
        const auto sameForm = [&](const HoldOutCandidate& c) {
            return c.Kept.Model.SharedPoles == shared;
        };
        const auto inForm = std::count_if(pool.begin(), pool.end(), sameForm);
        if (!seen && static_cast<std::size_t>(inForm) < HoldOutCandidates)
            pool.push_back({*found[k], k < searches ? static_cast<int>(k) : 0, std::nullopt});
    }
    const Refinement whole = polish.EstimationRefinement();
    const LinearModel simplest = LinearModel::Simplest(rows.Inputs.size());
    const double simplestScore = polish.Score(Found{simplest, whole.SquaredError(simplest)});
    const auto addEstimate = [&](std::optional<LinearModel> model, std::optional<LinearModel> part,
                                 const char* origin) {
        if (!model || !part || !model->Stable())
            return;
        const double error = whole.SquaredError(*model);
        Found estimate{std::move(*model), error};
        if (!(polish.Score(estimate) < simplestScore))
            return;
        pool.push_back({std::move(estimate), 0, std::move(part)});
        pool.back().Kept.Origin = origin;
    };
    const ArxEstimate arxPart(held.Inputs, held.Output, held.Rows, held.Parts);
    for (const ArxEstimate::Structure& s : polish.Estimates().Arx)
        addEstimate(s.Model, arxPart.Fit(s.Order, s.Delays), "ARX estimate");
    const SubspaceEstimate subspacePart(held.Inputs, held.Output, held.Rows, held.Parts);
    for (std::size_t n = 1; n <= polish.Estimates().Subspace.size(); ++n)
        addEstimate(polish.Estimates().Subspace[n - 1], subspacePart.Fit(static_cast<int>(n)),
                    "subspace estimate");
    return pool;
}

std::optional<std::pair<HoldOutChoice::Found, int>> HoldOutChoice::Choose(const Serve& serve) {
    if (Count() == 0)
        return std::nullopt;
    std::vector<double> heldOut(Count());
    std::vector<std::exception_ptr> failures(Count());
    serve(Count(), [&](std::size_t c) {
        try {
            heldOut[c] = HeldOutScore(c);
        } catch (...) {
            failures[c] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    // A stop leaves the choice to the searches' scores.
    if (stop)
        return std::nullopt;
    return Chosen(heldOut);
}

double HoldOutChoice::HeldOutScore(std::size_t c) const {
    const HoldOutCandidate& candidate = pool[c];
    const std::span<const double> output = rows.Output;
    const std::vector<std::span<const double>>& inputs = rows.Inputs;
    const LinearModel refit = candidate.PartFit ? *candidate.PartFit : Refitted(candidate.Kept);
    const std::vector<double> simulated = refit.Simulate(inputs, rows.Rows, rows.Parts);
    double error = 0.0;
    for (const Experiments::Part& judged : held.Judged)
        for (std::size_t i = judged.Begin; i < judged.End; ++i)
            error = error + (output[i] - simulated[i]) * (output[i] - simulated[i]);
    const auto parameters = static_cast<double>(candidate.Kept.Model.ParameterCount());
    return std::isfinite(error) ? error + heldOutPenalty * parameters
                                : std::numeric_limits<double>::infinity();
}

std::pair<HoldOutChoice::Found, int> HoldOutChoice::Chosen(const std::vector<double>& scores) {
    std::size_t best = 0;
    for (std::size_t c = 1; c < pool.size(); ++c)
        if (scores[c] < scores[best])
            best = c;
    return std::pair{std::move(pool[best].Kept), pool[best].Search};
}

} // namespace orvanel
