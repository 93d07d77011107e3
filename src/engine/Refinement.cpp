#include "engine/Refinement.h"

#include "engine/SimulationJacobian.h"
#include "engine/WorkerPool.h"

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
