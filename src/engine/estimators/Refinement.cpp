#include "engine/estimators/Refinement.h"

#include "engine/linear/SimulationJacobian.h"
#include "model/WorkerPool.h"

#include <algorithm>
#include <ceres/ceres.h>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>

namespace orvanel {
namespace {

// The solver's view of a model of fixed structure: a point it may move is refused (and the
// step shrunk) when a pole leaves the unit circle or the simulation overflows.
class OutputErrorCost final : public ceres::CostFunction {
public:
    OutputErrorCost(const LinearModel& structure, SimulationJacobian& jacobian, std::size_t rows)
        : model(structure), jacobian(jacobian) {
        set_num_residuals(static_cast<int>(rows));
        mutable_parameter_block_sizes()->push_back(static_cast<int>(model.ParameterCount()));
    }

    bool Evaluate(double const* const* parameters, double* residuals,
                  double** jacobians) const override {
        model.SetParameters(
            std::span<const double>(parameters[0], parameter_block_sizes().front()));
        if (!model.Stable())
            return false;
        return jacobian.Evaluate(model, residuals, jacobians != nullptr ? jacobians[0] : nullptr);
    }

private:
    mutable LinearModel model;
    SimulationJacobian& jacobian;
};

// Ends the solver at the end of an iteration once a stop is asked for, with the best point it
// accepted: never worse than its start.
class StopCallback final : public ceres::IterationCallback {
public:
    explicit StopCallback(const std::atomic<bool>& stop) : stop(stop) {}

    ceres::CallbackReturnType operator()(const ceres::IterationSummary&) override {
        return stop ? ceres::SOLVER_TERMINATE_SUCCESSFULLY : ceres::SOLVER_CONTINUE;
    }

private:
    const std::atomic<bool>& stop;
};

constexpr double Infinity = std::numeric_limits<double>::infinity();

// Passes over the inputs of Simplify: each change may make another input's simpler form pay.
constexpr int SimplifyPasses = 3;

// One input's structures with a factor less, a real zero less together with a sample of delay,
// a pair turned into a real root at the pair's mean root, or a sample less delay, that keep a
// pole and no more zeros than poles.
std::vector<LinearModel::Input> SimplerForms(const LinearModel::Input& input) {
    std::vector<LinearModel::Input> forms;
    const auto keep = [&](LinearModel::Input form) {
        if (form.SearchForm())
            forms.push_back(std::move(form));
    };
    for (auto factors : {&LinearModel::Input::Zeros, &LinearModel::Input::Poles}) {
        for (std::size_t k = 0; k < (input.*factors).size(); ++k) {
            LinearModel::Input fewer = input;
            (fewer.*factors).erase((fewer.*factors).begin() + static_cast<std::ptrdiff_t>(k));
            // A zero near the origin does the work of a sample less delay.
            if (factors == &LinearModel::Input::Zeros && !input.Zeros[k].Pair && input.Delay > 0) {
                LinearModel::Input earlier = fewer;
                --earlier.Delay;
                keep(std::move(earlier));
            }
            keep(std::move(fewer));
            if ((input.*factors)[k].Pair) {
                LinearModel::Input real = input;
                LinearModel::Factor& f = (real.*factors)[k];
                f = {false, std::clamp(-f.A / 2.0, -0.95, 0.95), 0.0, 0.0};
                keep(std::move(real));
            }
        }
    }
    if (input.Delay > 0) {
        LinearModel::Input shorter = input;
        --shorter.Delay;
        keep(std::move(shorter));
    }
    return forms;
}

// A refit of `from` keeps its start and whether it was stopped.
Refinement::Result Continued(const Refinement::Result& from, Refinement::Result refit) {
    refit.Start = from.Start;
    refit.Stopped = refit.Stopped || from.Stopped;
    return refit;
}

std::vector<double> SimulateInput(const LinearModel::Input& input, std::span<const double> column,
                                  std::size_t rows, const Experiments& experiments) {
    LinearModel alone;
    alone.Inputs = {input};
    const std::span<const double> columns[] = {column};
    return alone.Simulate(columns, rows, experiments);
}

} // namespace

double Refinement::Result::Score(double penalty) const {
    return Error + penalty * static_cast<double>(Model.ParameterCount());
}

Refinement::Refinement(std::vector<std::span<const double>> inputs, std::span<const double> output,
                       std::size_t estimationRows, Experiments experiments)
    : inputs(std::move(inputs)), output(output), rows(estimationRows),
      experiments(std::move(experiments)) {}

double Refinement::SquaredError(const LinearModel& model) const {
    return model.SquaredError(inputs, output, rows, experiments);
}

Refinement::Result Refinement::Refine(const LinearModel& start) const {
    Result result{start.Stable() ? start : start.Stabilised(), 0.0, 0};
    result.Error = SquaredError(result.Model);
    if (StopAsked()) {
        result.Stopped = true;
        return result;
    }
    if (result.Model.ParameterCount() == 0 || rows == 0 || !std::isfinite(result.Error))
        return result;
    SimulationJacobian jacobian(inputs, output, rows, experiments);
    OutputErrorCost cost(result.Model, jacobian, rows);
    std::vector<double> parameters = result.Model.Parameters();
    ceres::Problem::Options problemOptions;
    problemOptions.cost_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
    ceres::Problem problem(problemOptions);
    problem.AddResidualBlock(&cost, nullptr, parameters.data());
    if (HoldPoles && !result.Model.PoleParameters().empty())
        problem.SetManifold(parameters.data(),
                            new ceres::SubsetManifold(static_cast<int>(parameters.size()),
                                                      result.Model.PoleParameters()));
    ceres::Solver::Options options;
    options.max_num_iterations = MaxIterations;
    options.linear_solver_type = ceres::DENSE_NORMAL_CHOLESKY;
    options.logging_type = ceres::SILENT;
    options.num_threads = 1;
    std::optional<StopCallback> stopCallback;
    if (Stop != nullptr)
        options.callbacks.push_back(&stopCallback.emplace(*Stop));
    ceres::Solver::Summary summary;
    ceres::Solve(options, &problem, &summary);
    result.Stopped = summary.termination_type == ceres::USER_SUCCESS;

    LinearModel refined = result.Model;
    refined.SetParameters(parameters);
    const double error = SquaredError(refined);
    if (refined.Stable() && error < result.Error) {
        result.Model = std::move(refined);
        result.Error = error;
    }
    return result;
}

Refinement::Result Refinement::Simplify(Result start, double penalty) const {
    Result current = std::move(start);
    if (!current.Model.Stable())
        current = Continued(current, Refine(current.Model));
    // Each input's form is refitted with the others held; only the whole model refined
    // jointly shows what the next pass may clear.
    for (int pass = 0; pass < SimplifyPasses && !StopAsked() && SimplifyInputs(current, penalty);
         ++pass)
        current = Continued(current, Refine(current.Model));
    current.Stopped = current.Stopped || StopAsked();
    return OrSimplest(std::move(current), penalty);
}

bool Refinement::SimplifyInputs(Result& current, double penalty) const {
    // A shared pole less changes every input: its refit goes first, the inputs then fit to it.
    bool changed = current.Model.SharedPoles && SimplifySharedPoles(current, penalty);
    std::vector<std::vector<double>> shares;
    for (std::size_t k = 0; k < current.Model.Inputs.size(); ++k)
        shares.push_back(SimulateInput(current.Model.Inputs[k], inputs[k], rows, experiments));
    for (std::size_t k = 0; k < current.Model.Inputs.size(); ++k) {
        std::vector<double> rest(output.begin(),
                                 output.begin() + static_cast<std::ptrdiff_t>(rows));
        for (std::size_t j = 0; j < shares.size(); ++j)
            for (std::size_t i = 0; j != k && i < rows; ++i)
                rest[i] = rest[i] - shares[j][i];
        Refinement alone({inputs[k]}, rest, rows, experiments);
        alone.Stop = Stop;
        alone.HoldPoles = current.Model.SharedPoles;
        for (bool simpler = true; simpler;) {
            simpler = false;
            for (const LinearModel::Input& form : SimplerForms(current.Model.Inputs[k])) {
                if (alone.HoldPoles && form.Poles != current.Model.Inputs[k].Poles)
                    continue;
                if (StopAsked())
                    return changed;
                Result candidate = current;
                candidate.Model.Inputs[k] = alone.Refine(LinearModel{{form}}).Model.Inputs.front();
                candidate.Error = SquaredError(candidate.Model);
                if (candidate.Score(penalty) < current.Score(penalty)) {
                    current = std::move(candidate);
                    shares[k] =
                        SimulateInput(current.Model.Inputs[k], inputs[k], rows, experiments);
                    simpler = changed = true;
                    break;
                }
            }
        }
    }
    return changed;
}

bool Refinement::SimplifySharedPoles(Result& current, double penalty) const {
    bool changed = false;
    for (bool simpler = true; simpler && !current.Model.Inputs.empty();) {
        simpler = false;
        const LinearModel::Input poles{1.0, {}, current.Model.Inputs.front().Poles, 0};
        for (const LinearModel::Input& form : SimplerForms(poles)) {
            const LinearModel model = current.Model.WithSharedPoles(form.Poles);
            if (!std::all_of(model.Inputs.begin(), model.Inputs.end(),
                             [](const LinearModel::Input& i) { return i.SearchForm(); }))
                continue;
            if (StopAsked())
                return changed;
            Result candidate = Continued(current, Refine(model));
            if (candidate.Score(penalty) < current.Score(penalty)) {
                current = std::move(candidate);
                simpler = changed = true;
                break;
            }
        }
    }
    return changed;
}

Refinement::Result Refinement::RefineBest(std::span<const LinearModel> candidates,
                                          std::size_t starts) const {
    std::vector<std::size_t> chosen;
    for (std::size_t c = 0; c < candidates.size() && chosen.size() < starts; ++c) {
        const bool seen = std::any_of(chosen.begin(), chosen.end(), [&](std::size_t k) {
            return candidates[k].SameStructure(candidates[c]);
        });
        if (!seen)
            chosen.push_back(c);
    }
    std::vector<Result> results(chosen.size());
    WorkerPool pool(ThreadCount);
    pool.ForEach(chosen.size(), [&](std::size_t k) {
        results[k] = Refine(candidates[chosen[k]]);
        results[k].Start = chosen[k];
    });
    if (chosen.empty())
        return {LinearModel(), Infinity, 0};
    const bool stopped =
        std::any_of(results.begin(), results.end(), [](const Result& r) { return r.Stopped; });
    std::size_t best = 0;
    for (std::size_t k = 1; k < results.size(); ++k) {
        if (results[k].Error < results[best].Error)
            best = k;
    }
    results[best].Stopped = stopped;
    return OrSimplest(std::move(results[best]), 0.0);
}

Refinement::Result Refinement::OrSimplest(Result result, double penalty) const {
    Result simplest{LinearModel::Simplest(result.Model.Inputs.size()), 0.0, result.Start,
                    result.Stopped};
    simplest.Error = SquaredError(simplest.Model);
    const auto level = output.first(rows);
    const bool constant =
        std::adjacent_find(level.begin(), level.end(), std::not_equal_to<>()) == level.end();
    return constant || !(result.Score(penalty) < simplest.Score(penalty)) ? simplest : result;
}

bool Refinement::StopAsked() const {
    return Stop != nullptr && Stop->load(std::memory_order_relaxed);
}

} // namespace orvanel
