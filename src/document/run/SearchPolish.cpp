#include "document/run/SearchPolish.h"

#include "engine/estimators/SharedDenominator.h"
#include "engine/estimators/SubspaceEstimate.h"
#include "engine/search/Genetico.h"

#include <algorithm>
#include <utility>

namespace orvanel {
namespace {

// Distinct structures refined after each search.
constexpr std::size_t RefinementStarts = 8;

} // namespace

SearchPolish::SearchPolish(ModelSummary::Data rows, const IdentificationOptions& options,
                           double penalty, std::atomic<bool>& simplifying)
    : rows(std::move(rows)), options(options), penalty(penalty), simplifying(simplifying) {}

void SearchPolish::CollectCandidate(const TGenetico& search, const IdentificationOptions& options,
                                    std::vector<LinearModel>& found) {
    if (!options.Refine)
        return;
    std::optional<LinearModel> model = LinearModel::From(search.BestModel());
    if (model && (found.empty() || found.back() != *model))
        found.push_back(std::move(*model));
}

std::shared_ptr<const TMISOFunTrans> SearchPolish::SearchBestOf(const TGenetico& search) {
    auto best = std::make_shared<TMISOFunTrans>();
    best->Assign(search.BestModel());
    return best;
}

double SearchPolish::Score(const Found& found) const {
    return found.Error + penalty * static_cast<double>(found.Model.ParameterCount());
}

std::optional<std::size_t> SearchPolish::LowestScore(const std::vector<std::optional<Found>>& found,
                                                     std::size_t count) const {
    std::optional<std::size_t> lowest;
    for (std::size_t k = 0; k < std::min(found.size(), count); ++k) {
        if (found[k] && (!lowest || Score(*found[k]) < Score(*found[*lowest])))
            lowest = k;
    }
    return lowest;
}

Refinement SearchPolish::RefinementOn(const ModelSummary::Data& rows) {
    return Refinement(rows.Inputs, rows.Output, rows.Rows, rows.Parts);
}

Refinement SearchPolish::EstimationRefinement() const {
    return RefinementOn(rows);
}

Refinement::Result SearchPolish::Polished(const Refinement& refinement,
                                          const StructureSearch& growth, const LinearModel& start,
                                          double penalty) {
    return Finished(refinement, growth, refinement.Refine(start), penalty);
}

// Growing a model with shared poles refits all of it at every step it tries, several times
// the cost of the rest of a thorough run, and the shared models measured did as well without.
Refinement::Result SearchPolish::Finished(const Refinement& refinement,
                                          const StructureSearch& growth,
                                          Refinement::Result refined, double penalty) {
    const bool shared = refined.Model.SharedPoles;
    refined = refinement.Simplify(std::move(refined), penalty);
    return shared ? refined : growth.Grow(std::move(refined), penalty);
}

// The search's best model, or with refinement the best refined one among the distinct
// structures of the generations' bests and the final population's best, lowest error first.
std::optional<SearchPolish::Found> SearchPolish::Best(const TGenetico& search,
                                                      std::vector<LinearModel> found,
                                                      const std::atomic<bool>& stop) const {
    Refinement refinement = EstimationRefinement();
    refinement.Stop = &stop;
    if (!options.Refine) {
        std::optional<LinearModel> model = LinearModel::From(search.BestModel());
        if (!model)
            return std::nullopt;
        const double error = refinement.SquaredError(*model);
        return Found{std::move(*model), error};
    }
    const auto& population = search.Population();
    const auto best = std::min_element(
        population.begin(), population.end(),
        [](const TMISOFunTrans& a, const TMISOFunTrans& b) { return a.Error < b.Error; });
    if (best != population.end()) {
        if (std::optional<LinearModel> model = LinearModel::From(*best))
            found.push_back(std::move(*model));
    }
    std::vector<Found> scored;
    for (LinearModel& model : found) {
        const double error = refinement.SquaredError(model);
        scored.push_back({std::move(model), error});
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const Found& a, const Found& b) { return a.Error < b.Error; });
    std::vector<LinearModel> ordered;
    for (Found& f : scored)
        ordered.push_back(std::move(f.Model));
    if (ordered.empty())
        return std::nullopt;
    Refinement::Result refined = refinement.RefineBest(ordered, RefinementStarts);
    LinearModel start = ordered[std::min(refined.Start, ordered.size() - 1)];
    if (options.Simplify) {
        simplifying = true;
        refined = refinement.Simplify(std::move(refined), penalty);
    }
    if (options.Thorough)
        refined = Growth(stop).Grow(std::move(refined), penalty);
    Found kept{std::move(refined.Model), refined.Error};
    kept.Stopped = refined.Stopped;
    kept.Start = std::move(start);
    return kept;
}

StructureSearch SearchPolish::Growth(const std::atomic<bool>& stop) const {
    StructureSearch search(rows.Inputs, rows.Output, rows.Rows, rows.Parts);
    search.Stop = &stop;
    return search;
}

// Estimator 0 is the ARX model, 1 the subspace model, each chosen on the estimation rows.
std::optional<LinearModel> SearchPolish::Estimated(std::size_t estimator) const {
    const std::vector<std::span<const double>>& inputs = rows.Inputs;
    const std::span<const double> output = rows.Output;
    if (estimator == 0) {
        estimates.Arx = ArxEstimate(inputs, output, rows.Rows, rows.Parts).Structures(penalty);
        return ArxEstimate::Best(estimates.Arx);
    }
    // Higher orders are judged as they are, in the hold-out; as starts their many factors
    // cost the simplification much and overfit.
    const SubspaceEstimate subspace(inputs, output, rows.Rows, rows.Parts);
    estimates.Subspace = subspace.Fits();
    const int order = subspace.BestOrder(estimates.Subspace, penalty, ArxEstimate::MaxOrder);
    if (order <= 0)
        return std::nullopt;
    return estimates.Subspace[static_cast<std::size_t>(order - 1)];
}

std::optional<SearchPolish::Found>
SearchPolish::PolishedStart(LinearModel start, std::string origin,
                            const std::atomic<bool>& stop) const {
    if (stop)
        return std::nullopt;
    Refinement refinement = EstimationRefinement();
    refinement.Stop = &stop;
    Refinement::Result refined = Polished(refinement, Growth(stop), start, penalty);
    if (stop)
        return std::nullopt;
    Found found{std::move(refined.Model), refined.Error};
    found.Origin = std::move(origin);
    found.Start = std::move(start);
    return found;
}

// Each start refined, simplified and grown as the searches' models are.
std::optional<SearchPolish::Found>
SearchPolish::FromEstimator(std::size_t estimator, const std::atomic<bool>& stop) const {
    starts[estimator] = Estimated(estimator);
    if (!starts[estimator])
        return std::nullopt;
    return PolishedStart(*starts[estimator],
                         estimator == 0 ? "ARX estimate" : "subspace estimate", stop);
}

// Three starts share their poles: the ARX and subspace estimates, whose inputs have one
// denominator already (in the shared form its poles are fitted and counted once, which the
// refinement of the per-input form loses at its first step), and the best search's slowest
// poles, as many as its largest denominator has (the inputs' own fast poles mostly shape
// their responses' first samples, which the numerators and delays take over). Each is refined;
// the one of lowest score is finished alone.
std::optional<SearchPolish::Found>
SearchPolish::SharedFromSearches(const std::vector<std::optional<Found>>& found,
                                 std::size_t searches, const std::atomic<bool>& stop) const {
    const std::optional<std::size_t> best = LowestScore(found, searches);
    if (!best || stop || rows.Inputs.size() < 2)
        return std::nullopt;
    const LinearModel& model = found[*best]->Model;
    std::size_t order = 0;
    for (const LinearModel::Input& input : model.Inputs)
        order = std::max(order, LinearModel::Degree(input.Poles));
    const SharedDenominator fit(rows.Inputs, rows.Output, rows.Rows, rows.Parts);
    const std::optional<LinearModel> shared[] = {
        starts[0] ? starts[0]->AsShared() : std::nullopt,
        starts[1] ? starts[1]->AsShared() : std::nullopt,
        fit.Fit(model, SharedDenominator::DominantPoles(model, order))};
    const char* origins[] = {"ARX estimate with shared poles", "subspace estimate with shared poles",
                             "best search with shared poles"};
    Refinement refinement = EstimationRefinement();
    refinement.Stop = &stop;
    std::optional<std::size_t> chosen;
    Refinement::Result refined;
    for (std::size_t s = 0; s < std::size(shared); ++s) {
        if (!shared[s] || stop)
            continue;
        Refinement::Result result = refinement.Refine(*shared[s]);
        if (!chosen || result.Score(penalty) < refined.Score(penalty)) {
            chosen = s;
            refined = std::move(result);
        }
    }
    if (!chosen || stop)
        return std::nullopt;
    refined = Finished(refinement, Growth(stop), std::move(refined), penalty);
    if (stop)
        return std::nullopt;
    Found kept{std::move(refined.Model), refined.Error};
    kept.Origin = origins[*chosen];
    kept.Start = shared[*chosen];
    return kept;
}

} // namespace orvanel
