#include "document/run/HoldOutChoice.h"

#include "engine/analysis/CancellingInputs.h"
#include "engine/estimators/Refinement.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace orvanel {
namespace {

// A thorough run chooses among this many of its best distinct structures by a hold-out, as
// many with shared poles beside those without: a shared form that fits the estimation rows a
// little better would otherwise crowd out the models that do well on held-out rows. Each is
// found anew once per split, the costly part of the choice: with two splits, two per form kept
// a run's time within a third of what one split of three took, and chose as well.
constexpr std::size_t HoldOutCandidates = 2;
// Each experiment's estimation rows are cut into this many blocks; the last Folds are judged,
// each by a fit on the blocks before it. One split alone judged three tenths of the rows
// once and swung with them: two judge two fifths, and measured on generated and recorded
// data the model kept moved less between seeds than with one split or three.
constexpr std::size_t Blocks = 5;
constexpr std::size_t Folds = 2;

// A failure of one task of `serve` is rethrown once all are done.
void ServeAll(const HoldOutChoice::Serve& serve, std::size_t count,
              const std::function<void(std::size_t)>& task) {
    std::vector<std::exception_ptr> failures(count);
    serve(count, [&](std::size_t t) {
        try {
            task(t);
        } catch (...) {
            failures[t] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

std::vector<std::span<const double>> Without(std::vector<std::span<const double>> columns,
                                             std::size_t k) {
    columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(k));
    return columns;
}

// `model` of the other inputs with input k put back as the simplest model's input, 0 / z.
LinearModel WithZeroInput(LinearModel model, std::size_t k) {
    model.Inputs.insert(model.Inputs.begin() + static_cast<std::ptrdiff_t>(k),
                        LinearModel::Simplest(1).Inputs.front());
    if (model.SharedPoles)
        model.SharedPoles = model.AsShared().has_value();
    return model;
}

// `start` refined, simplified and grown on the rows given.
LinearModel PolishedOn(const std::vector<std::span<const double>>& inputs,
                       std::span<const double> output, std::size_t rows,
                       const Experiments& parts, const LinearModel& start, double penalty,
                       const std::atomic<bool>& stop) {
    Refinement refinement(inputs, output, rows, parts);
    refinement.Stop = &stop;
    StructureSearch growth(inputs, output, rows, parts);
    growth.Stop = &stop;
    return SearchPolish::Polished(refinement, growth, start, penalty).Model;
}

} // namespace

HoldOutChoice::HoldOutChoice(ModelSummary::Data estimation, const SearchPolish& polish,
                             const std::vector<std::optional<Found>>& found, std::size_t searches,
                             const std::atomic<bool>& stop)
    : rows(std::move(estimation)), polish(polish), stop(stop), folds(FoldsOf(rows)),
      pool(Pool(found, searches)) {
    std::size_t judgedRows = 0;
    for (const Fold& fold : folds)
        for (const Experiments::Part& judged : fold.Judged)
            judgedRows += judged.End - judged.Begin;
    judgedPenalty =
        polish.Penalty() * static_cast<double>(judgedRows) / static_cast<double>(rows.Rows);
}

std::vector<HoldOutChoice::Fold> HoldOutChoice::FoldsOf(const ModelSummary::Data& rows) {
    std::vector<Fold> folds;
    for (std::size_t f = 0; f < Folds; ++f)
        folds.push_back(FoldOf(rows, Blocks - Folds + f));
    return folds;
}

// The fold that fits on the first `fitted` blocks of every experiment's estimation rows and
// judges the next: every fit starts where its experiment starts, from rest, as the run's own
// fit does, and is judged on rows after it, as the validation rows are. One experiment's rows
// are its columns' first rows as they are.
HoldOutChoice::Fold HoldOutChoice::FoldOf(const ModelSummary::Data& rows, std::size_t fitted) {
    const auto boundary = [](const Experiments::Part& part, std::size_t blocks) {
        return part.Begin + (part.End - part.Begin) * blocks / Blocks;
    };
    Fold fold;
    if (rows.Parts.Single()) {
        const Experiments::Part whole{0, rows.Rows};
        fold.Rows = boundary(whole, fitted);
        for (const std::span<const double> input : rows.Inputs)
            fold.Inputs.emplace_back(input.first(fold.Rows));
        fold.Output = rows.Output.first(fold.Rows);
        fold.Judged.push_back({fold.Rows, boundary(whole, fitted + 1)});
        return fold;
    }
    std::vector<std::size_t> starts;
    const std::size_t width = rows.Inputs.size() + 1;
    fold.Owned.resize(width);
    for (const Experiments::Part& part : rows.Parts.Parts(rows.Rows)) {
        const std::size_t split = boundary(part, fitted);
        fold.Judged.push_back({split, boundary(part, fitted + 1)});
        // An experiment too short to fit on is judged alone.
        if (split == part.Begin)
            continue;
        starts.push_back(fold.Rows);
        fold.Rows += split - part.Begin;
        for (std::size_t c = 0; c < width; ++c) {
            const std::span<const double> column = c + 1 < width ? rows.Inputs[c] : rows.Output;
            fold.Owned[c].insert(fold.Owned[c].end(),
                                 column.begin() + static_cast<std::ptrdiff_t>(part.Begin),
                                 column.begin() + static_cast<std::ptrdiff_t>(split));
        }
    }
    for (std::size_t c = 0; c + 1 < width; ++c)
        fold.Inputs.emplace_back(fold.Owned[c]);
    fold.Output = fold.Owned.back();
    if (starts.size() > 1)
        fold.Parts = Experiments(std::move(starts));
    return fold;
}

// The few best distinct structures by error plus penalty among what was found, in each form,
// then the established estimators' own models that explain more than the simplest model.
std::vector<HoldOutChoice::Candidate>
HoldOutChoice::Pool(const std::vector<std::optional<Found>>& found, std::size_t searches) const {
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < found.size(); ++k)
        if (found[k])
            order.push_back(k);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return polish.Score(*found[a]) < polish.Score(*found[b]);
    });
    std::vector<Candidate> pool;
    for (const std::size_t k : order) {
        const bool seen = std::any_of(pool.begin(), pool.end(), [&](const Candidate& c) {
            return c.Kept.Model.SameStructure(found[k]->Model);
        });
        const bool shared = found[k]->Model.SharedPoles;
        const auto inForm = std::count_if(pool.begin(), pool.end(), [&](const Candidate& c) {
            return c.Kept.Model.SharedPoles == shared;
        });
        if (!seen && static_cast<std::size_t>(inForm) < HoldOutCandidates)
            pool.push_back({*found[k], k < searches ? static_cast<int>(k) : 0});
    }
    AddEstimates(pool, polish.Estimates().Arx, polish.Estimates().Subspace, std::nullopt);
    return pool;
}

// The estimators' models that explain more than the simplest model, without input `without`
// when one is given (the estimates then of the other inputs).
void HoldOutChoice::AddEstimates(std::vector<Candidate>& pool,
                                 const std::vector<ArxEstimate::Structure>& arx,
                                 const std::vector<std::optional<LinearModel>>& subspace,
                                 std::optional<std::size_t> without) const {
    const Refinement whole = polish.EstimationRefinement();
    const LinearModel simplest = LinearModel::Simplest(rows.Inputs.size());
    const double simplestScore = polish.Score(Found{simplest, whole.SquaredError(simplest)});
    const auto add = [&](const std::optional<LinearModel>& model, Refit how, int order,
                         std::vector<int> delays, std::string origin) {
        if (!model || !model->Stable())
            return;
        const LinearModel full = without ? WithZeroInput(*model, *without) : *model;
        Found estimate{full, whole.SquaredError(full)};
        if (!(polish.Score(estimate) < simplestScore))
            return;
        estimate.Origin = std::move(origin);
        pool.push_back({std::move(estimate), 0, how, order, std::move(delays), without});
    };
    const std::string apart = without ? " without input " + std::to_string(*without + 1) : "";
    for (const ArxEstimate::Structure& s : arx)
        add(s.Model, Refit::Arx, s.Order, s.Delays, "ARX estimate" + apart);
    for (std::size_t n = 1; n <= subspace.size(); ++n)
        add(subspace[n - 1], Refit::Subspace, static_cast<int>(n), {}, "subspace estimate" + apart);
}

std::optional<std::pair<HoldOutChoice::Found, int>> HoldOutChoice::Choose(const Serve& serve) {
    if (Count() == 0)
        return std::nullopt;
    AddWithoutInputs(MarkCancelling(), serve);
    const std::size_t tasks = Count() * Folds;
    std::vector<double> errors(tasks);
    ServeAll(serve, tasks, [&](std::size_t t) { errors[t] = FoldError(t / Folds, t % Folds); });
    // A stop leaves the choice to the searches' scores.
    if (stop)
        return std::nullopt;
    std::vector<double> scores(Count());
    for (std::size_t c = 0; c < Count(); ++c) {
        double pooled = 0.0;
        for (std::size_t f = 0; f < Folds; ++f)
            pooled = pooled + errors[c * Folds + f];
        const auto parameters = static_cast<double>(pool[c].Kept.Model.ParameterCount());
        scores[c] = pooled + judgedPenalty * parameters;
    }
    return Chosen(scores);
}

std::vector<std::size_t> HoldOutChoice::MarkCancelling() {
    std::vector<std::size_t> inputs;
    const auto note = [&](std::size_t k) {
        if (std::find(inputs.begin(), inputs.end(), k) == inputs.end())
            inputs.push_back(k);
    };
    for (Candidate& candidate : pool) {
        const std::vector<CancellingInputs::Pair> pairs =
            CancellingInputs::Of(candidate.Kept.Model, rows.Inputs, rows.Rows, rows.Parts);
        candidate.Cancelling = !pairs.empty();
        for (const CancellingInputs::Pair& pair : pairs) {
            note(pair.First);
            note(pair.Second);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

// The established estimators' models of the other inputs, and each estimator's best refined,
// simplified and grown as a thorough run's starts are.
std::vector<HoldOutChoice::Candidate> HoldOutChoice::WithoutInput(std::size_t k) const {
    const std::vector<std::span<const double>> inputs = Without(rows.Inputs, k);
    const double penalty = polish.Penalty();
    const ArxEstimate arx(inputs, rows.Output, rows.Rows, rows.Parts);
    const std::vector<ArxEstimate::Structure> structures = arx.Structures(penalty);
    const SubspaceEstimate subspace(inputs, rows.Output, rows.Rows, rows.Parts);
    const std::vector<std::optional<LinearModel>> fits = subspace.Fits();
    std::vector<Candidate> candidates;
    AddEstimates(candidates, structures, fits, k);
    const int order = subspace.BestOrder(fits, penalty, ArxEstimate::MaxOrder);
    const std::optional<LinearModel> starts[] = {
        ArxEstimate::Best(structures),
        order > 0 ? fits[static_cast<std::size_t>(order - 1)] : std::nullopt};
    const char* origins[] = {"ARX estimate", "subspace estimate"};
    for (std::size_t s = 0; s < 2 && !stop; ++s) {
        if (!starts[s])
            continue;
        Candidate candidate;
        candidate.Without = k;
        candidate.Kept.Start = starts[s];
        candidate.Kept.Model = WithZeroInput(*FittedWithout(candidate, inputs, rows.Output,
                                                            rows.Rows, rows.Parts),
                                             k);
        candidate.Kept.Error = polish.EstimationRefinement().SquaredError(candidate.Kept.Model);
        candidate.Kept.Origin =
            std::string(origins[s]) + " without input " + std::to_string(k + 1);
        candidates.push_back(std::move(candidate));
    }
    for (Candidate& candidate : candidates)
        candidate.Cancelling =
            !CancellingInputs::Of(candidate.Kept.Model, rows.Inputs, rows.Rows, rows.Parts).empty();
    return candidates;
}

void HoldOutChoice::AddWithoutInputs(const std::vector<std::size_t>& inputs, const Serve& serve) {
    std::vector<std::vector<Candidate>> found(inputs.size());
    ServeAll(serve, inputs.size(), [&](std::size_t t) { found[t] = WithoutInput(inputs[t]); });
    for (std::vector<Candidate>& candidates : found)
        for (Candidate& candidate : candidates)
            pool.push_back(std::move(candidate));
}

// A found model is polished on the fold from the start it was polished from; an estimator's
// model is estimated anew there with its order and delays.
std::optional<LinearModel> HoldOutChoice::FittedOn(const Candidate& candidate,
                                                   const Fold& fold) const {
    if (!candidate.Without)
        return FittedWithout(candidate, fold.Inputs, fold.Output, fold.Rows, fold.Parts);
    const std::optional<LinearModel> model =
        FittedWithout(candidate, Without(fold.Inputs, *candidate.Without), fold.Output,
                      fold.Rows, fold.Parts);
    if (!model)
        return std::nullopt;
    return WithZeroInput(*model, *candidate.Without);
}

std::optional<LinearModel>
HoldOutChoice::FittedWithout(const Candidate& candidate,
                             const std::vector<std::span<const double>>& inputs,
                             std::span<const double> output, std::size_t count,
                             const Experiments& parts) const {
    switch (candidate.How) {
    case Refit::Arx:
        return ArxEstimate(inputs, output, count, parts).Fit(candidate.Order, candidate.Delays);
    case Refit::Subspace:
        return SubspaceEstimate(inputs, output, count, parts).Fit(candidate.Order);
    case Refit::Refined:
        break;
    }
    return PolishedOn(inputs, output, count, parts,
                      candidate.Kept.Start.value_or(candidate.Kept.Model), polish.Penalty(),
                      stop);
}

// The fitted model is simulated over all estimation rows, from each experiment's first row,
// so that the judged block starts from the state the rows before it leave.
double HoldOutChoice::FoldError(std::size_t c, std::size_t f) const {
    constexpr double failed = std::numeric_limits<double>::infinity();
    const Fold& fold = folds[f];
    const std::optional<LinearModel> fitted = FittedOn(pool[c], fold);
    if (!fitted)
        return failed;
    const std::vector<double> simulated = fitted->Simulate(rows.Inputs, rows.Rows, rows.Parts);
    double error = 0.0;
    for (const Experiments::Part& judged : fold.Judged)
        for (std::size_t i = judged.Begin; i < judged.End; ++i)
            error = error + (rows.Output[i] - simulated[i]) * (rows.Output[i] - simulated[i]);
    return std::isfinite(error) ? error : failed;
}

// A candidate whose inputs cancel is chosen only when every candidate's do: its held-out rows
// lie within the range it was fitted on, where the cancelling gains still agree.
std::pair<HoldOutChoice::Found, int> HoldOutChoice::Chosen(const std::vector<double>& scores) {
    const bool anySound = std::any_of(pool.begin(), pool.end(),
                                      [](const Candidate& c) { return !c.Cancelling; });
    std::optional<std::size_t> best;
    for (std::size_t c = 0; c < pool.size(); ++c)
        if ((!anySound || !pool[c].Cancelling) && (!best || scores[c] < scores[*best]))
            best = c;
    return std::pair{std::move(pool[*best].Kept), pool[*best].Search};
}

} // namespace orvanel
