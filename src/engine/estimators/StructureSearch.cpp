#include "engine/estimators/StructureSearch.h"

#include <algorithm>
#include <cmath>

namespace orvanel {
namespace {

// The real part of the pair's root farthest from the origin.
double SlowerRoot(const LinearModel::Factor& pair) {
    const double discriminant = pair.A * pair.A - 4.0 * pair.B;
    if (discriminant <= 0.0)
        return -pair.A / 2.0;
    const double root = std::sqrt(discriminant) / 2.0;
    return -pair.A / 2.0 + (pair.A <= 0.0 ? root : -root);
}

// Solver iterations for a neighbour refitted alone: enough to tell whether it pays; the whole
// model is refined in full once one is taken.
constexpr int NeighbourIterations = 20;

constexpr LinearModel::Factor OriginRoot{false, 0.0, 0.0, 0.0};
constexpr LinearModel::Factor OriginPair{true, 0.0, 0.0, 0.0};

// The first changes InputChanges lists move a delay or add a zero: every other adds or
// trades a pole.
constexpr std::ptrdiff_t DelayAndZeroChanges = 4;

} // namespace

StructureSearch::StructureSearch(std::vector<std::span<const double>> inputs,
                                 std::span<const double> output, std::size_t estimationRows,
                                 Experiments experiments)
    : refinement(std::move(inputs), output, estimationRows, std::move(experiments)) {}

std::vector<LinearModel::Input> StructureSearch::Neighbours(const LinearModel::Input& input) {
    std::vector<LinearModel::Input> forms;
    for (const InputChange& change : InputChanges(input.Poles)) {
        LinearModel::Input form = input;
        change(form);
        if (form.SearchForm())
            forms.push_back(std::move(form));
    }
    return forms;
}

std::vector<LinearModel> StructureSearch::SharedNeighbours(const LinearModel& model) {
    std::vector<LinearModel> neighbours;
    if (model.Inputs.empty())
        return neighbours;
    const std::vector<InputChange> changes = InputChanges(model.Inputs.front().Poles);
    for (auto change = changes.begin() + DelayAndZeroChanges; change != changes.end(); ++change) {
        LinearModel neighbour = model;
        for (LinearModel::Input& input : neighbour.Inputs)
            (*change)(input);
        if (std::all_of(neighbour.Inputs.begin(), neighbour.Inputs.end(),
                        [](const LinearModel::Input& i) { return i.SearchForm(); }))
            neighbours.push_back(std::move(neighbour));
    }
    return neighbours;
}

std::vector<StructureSearch::InputChange>
StructureSearch::InputChanges(const std::vector<LinearModel::Factor>& poles) {
    std::vector<InputChange> changes{[](LinearModel::Input& f) { ++f.Delay; },
                                     [](LinearModel::Input& f) { --f.Delay; },
                                     [](LinearModel::Input& f) {
                                         f.Zeros.push_back(OriginRoot);
                                         ++f.Delay;
                                     },
                                     [](LinearModel::Input& f) { f.Zeros.push_back(OriginRoot); },
                                     [](LinearModel::Input& f) {
                                         f.Poles.push_back(OriginRoot);
                                         f.Delay = std::max(f.Delay - 1, 0);
                                     },
                                     [](LinearModel::Input& f) {
                                         f.Poles.push_back(OriginPair);
                                         f.Delay = std::max(f.Delay - 2, 0);
                                     }};
    // A fast pole imitating a sample of dead time; a pair keeps its slower root.
    for (std::size_t k = 0; k < poles.size(); ++k) {
        changes.emplace_back([k](LinearModel::Input& f) {
            const LinearModel::Factor pole = f.Poles[k];
            f.Poles.erase(f.Poles.begin() + static_cast<std::ptrdiff_t>(k));
            if (pole.Pair)
                f.Poles.push_back({false, SlowerRoot(pole), 0.0, 0.0});
            ++f.Delay;
        });
    }
    return changes;
}

Refinement::Result StructureSearch::Grow(Refinement::Result start, double penalty) const {
    Refinement whole = refinement;
    whole.Stop = Stop;
    Refinement::Result current = std::move(start);
    for (int pass = 0; pass < MaxPasses && !StopAsked() && GrowInputs(whole, current, penalty);
         ++pass) {
        Refinement::Result refined = whole.Refine(current.Model);
        refined.Start = current.Start;
        refined = whole.Simplify(std::move(refined), penalty);
        if (refined.Score(penalty) < current.Score(penalty))
            current = std::move(refined);
    }
    current.Stopped = current.Stopped || StopAsked();
    return current;
}

bool StructureSearch::GrowInputs(const Refinement& whole, Refinement::Result& current,
                                 double penalty) const {
    const std::vector<std::span<const double>>& inputs = whole.Inputs();
    const std::span<const double> output = whole.Output();
    const std::size_t rows = whole.EstimationRows();
    const Experiments& experiments = whole.SampleExperiments();
    bool changed = false;
    for (std::size_t k = 0; k < current.Model.Inputs.size() && k < inputs.size(); ++k) {
        LinearModel others = current.Model;
        others.Inputs[k] = LinearModel::Simplest(1).Inputs.front();
        const std::vector<double> shares = others.Simulate(inputs, rows, experiments);
        std::vector<double> rest(rows);
        for (std::size_t i = 0; i < rows; ++i)
            rest[i] = output[i] - shares[i];
        Refinement alone({inputs[k]}, rest, rows, experiments);
        alone.Stop = Stop;
        alone.MaxIterations = NeighbourIterations;
        alone.HoldPoles = current.Model.SharedPoles;
        Refinement::Result best = current;
        for (const LinearModel::Input& form : Neighbours(current.Model.Inputs[k])) {
            if (alone.HoldPoles && form.Poles != current.Model.Inputs[k].Poles)
                continue;
            if (StopAsked())
                return changed;
            Refinement::Result candidate = current;
            candidate.Model.Inputs[k] = alone.Refine(LinearModel{{form}}).Model.Inputs.front();
            candidate.Error = whole.SquaredError(candidate.Model);
            if (candidate.Score(penalty) < best.Score(penalty))
                best = std::move(candidate);
        }
        if (best.Score(penalty) < current.Score(penalty)) {
            current = std::move(best);
            changed = true;
        }
    }
    return current.Model.SharedPoles ? GrowSharedPoles(whole, current, penalty) || changed
                                     : changed;
}

bool StructureSearch::GrowSharedPoles(const Refinement& whole, Refinement::Result& current,
                                      double penalty) const {
    Refinement neighbour = whole;
    neighbour.MaxIterations = NeighbourIterations;
    Refinement::Result best = current;
    for (const LinearModel& model : SharedNeighbours(current.Model)) {
        if (StopAsked())
            break;
        Refinement::Result candidate = neighbour.Refine(model);
        candidate.Start = current.Start;
        if (candidate.Score(penalty) < best.Score(penalty))
            best = std::move(candidate);
    }
    if (!(best.Score(penalty) < current.Score(penalty)))
        return false;
    current = std::move(best);
    return true;
}

bool StructureSearch::StopAsked() const {
    return Stop != nullptr && Stop->load(std::memory_order_relaxed);
}

} // namespace orvanel
