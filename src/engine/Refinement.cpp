#include "engine/Refinement.h"

#include "engine/SimulationJacobian.h"
#include "engine/WorkerPool.h"

#include <algorithm>
#include <ceres/ceres.h>
#include <cmath>
#include <limits>

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

constexpr double Infinity = std::numeric_limits<double>::infinity();

// Passes over the inputs of Simplify: each change may make another input's simpler form pay.
constexpr int SimplifyPasses = 3;

std::size_t Degree(const std::vector<LinearModel::Factor>& factors) {
    std::size_t degree = 0;
    for (const LinearModel::Factor& f : factors)
        degree += f.Pair ? 2 : 1;
    return degree;
}

// One input's structures with a factor less, a real zero less together with a sample of delay,
// a pair turned into a real root at the pair's mean root, or a sample less delay, that keep a
// pole and no more zeros than poles.
std::vector<LinearModel::Input> SimplerForms(const LinearModel::Input& input) {
    std::vector<LinearModel::Input> forms;
    const auto keep = [&](LinearModel::Input form) {
        if (Degree(form.Poles) >= 1 && Degree(form.Zeros) <= Degree(form.Poles))
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

std::vector<double> SimulateInput(const LinearModel::Input& input, std::span<const double> column,
                                  std::size_t rows) {
    LinearModel alone;
    alone.Inputs = {input};
    const std::span<const double> columns[] = {column};
    return alone.Simulate(columns, rows);
}

} // namespace

Refinement::Refinement(std::vector<std::span<const double>> inputs, std::span<const double> output,
                       std::size_t estimationRows)
    : inputs(std::move(inputs)), output(output), rows(estimationRows) {}

double Refinement::SquaredError(const LinearModel& model) const {
    const std::vector<double> simulated = model.Simulate(inputs, rows);
    double error = 0.0;
    for (std::size_t i = 0; i < rows; ++i) {
        const double r = output[i] - simulated[i];
        error = error + r * r;
    }
    return std::isfinite(error) ? error : Infinity;
}

Refinement::Result Refinement::Refine(const LinearModel& start) const {
    Result result{start, SquaredError(start), 0};
    if (!start.Stable() || start.ParameterCount() == 0 || rows == 0 || !std::isfinite(result.Error))
        return result;
    SimulationJacobian jacobian(inputs, output, rows);
    OutputErrorCost cost(start, jacobian, rows);
    std::vector<double> parameters = start.Parameters();
    ceres::Problem::Options problemOptions;
    problemOptions.cost_function_ownership = ceres::DO_NOT_TAKE_OWNERSHIP;
    ceres::Problem problem(problemOptions);
    problem.AddResidualBlock(&cost, nullptr, parameters.data());
    ceres::Solver::Options options;
    options.max_num_iterations = MaxIterations;
    options.linear_solver_type = ceres::DENSE_NORMAL_CHOLESKY;
    options.logging_type = ceres::SILENT;
    options.num_threads = 1;
    ceres::Solver::Summary summary;
    ceres::Solve(options, &problem, &summary);

    LinearModel refined = start;
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
    // Each input's form is refitted with the others held; only the whole model refined
    // jointly shows what the next pass may clear.
    for (int pass = 0; pass < SimplifyPasses && SimplifyInputs(current, penalty); ++pass) {
        const std::size_t from = current.Start;
        current = Refine(current.Model);
        current.Start = from;
    }
    return current;
}

bool Refinement::SimplifyInputs(Result& current, double penalty) const {
    const auto score = [penalty](const Result& r) {
        return r.Error + penalty * static_cast<double>(r.Model.ParameterCount());
    };
    std::vector<std::vector<double>> shares;
    for (std::size_t k = 0; k < current.Model.Inputs.size(); ++k)
        shares.push_back(SimulateInput(current.Model.Inputs[k], inputs[k], rows));
    bool changed = false;
    for (std::size_t k = 0; k < current.Model.Inputs.size(); ++k) {
        std::vector<double> rest(output.begin(),
                                 output.begin() + static_cast<std::ptrdiff_t>(rows));
        for (std::size_t j = 0; j < shares.size(); ++j)
            for (std::size_t i = 0; j != k && i < rows; ++i)
                rest[i] = rest[i] - shares[j][i];
        const Refinement alone({inputs[k]}, rest, rows);
        for (bool simpler = true; simpler;) {
            simpler = false;
            for (const LinearModel::Input& form : SimplerForms(current.Model.Inputs[k])) {
                Result candidate = current;
                candidate.Model.Inputs[k] = alone.Refine(LinearModel{{form}}).Model.Inputs.front();
                candidate.Error = SquaredError(candidate.Model);
                if (score(candidate) < score(current)) {
                    current = std::move(candidate);
                    shares[k] = SimulateInput(current.Model.Inputs[k], inputs[k], rows);
                    simpler = changed = true;
                    break;
                }
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
    Result best{LinearModel(), Infinity, 0};
    for (Result& r : results) {
        if (r.Error < best.Error)
            best = std::move(r);
    }
    if (best.Error == Infinity && !chosen.empty())
        best = std::move(results.front());
    return best;
}

} // namespace orvanel
