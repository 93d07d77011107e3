// Local least-squares refinement of a model's continuous parameters.
#pragma once

#include "engine/linear/LinearModel.h"

#include <atomic>
#include <cstddef>
#include <span>
#include <vector>

namespace orvanel {

// The search picks a structure well but leaves its coefficients where the coarse gene code
// and chance put them. This moves the gains, real roots and pair coefficients of a model to
// the nearest minimum of its squared simulation error on the estimation rows, with the
// structure and the delays fixed and every pole kept strictly inside the unit circle, by
// Levenberg-Marquardt with exact derivatives of the simulation. Starting from several
// distinct structures finds better minima than refining the best model alone. No result has a
// pole on or outside the unit circle, and none fits worse than the simplest model's zero
// output: a model that explains nothing of the output is chance, and the simplest is given.
class Refinement {
public:
    struct Result {
        LinearModel Model;
        // Sum of squared residuals on the estimation rows.
        double Error = 0.0;
        // Position among the candidates of the model the result was refined from.
        std::size_t Start = 0;
        // Whether a stop cut the work short.
        bool Stopped = false;

        // Error plus `penalty` per parameter: what Simplify and the structure search lower.
        double Score(double penalty) const;
    };

    // One column per input and the measured output, all at least estimationRows long; the
    // model is fitted to the first estimationRows rows, simulated from zero state at each of
    // the experiments they are made of. The columns are not copied and must outlive this
    // object.
    Refinement(std::vector<std::span<const double>> inputs, std::span<const double> output,
               std::size_t estimationRows, Experiments experiments = {});

    // Solver iterations per start; an iteration evaluates the model and its derivatives.
    int MaxIterations = 100;
    // Threads sharing the starts of RefineBest (0: every core). The result does not depend
    // on it.
    int ThreadCount = 1;
    // When set, a stop asked for through it ends the work at the next solver iteration, start,
    // input or form: the result is the best found until then, and says it was stopped.
    const std::atomic<bool>* Stop = nullptr;
    // When set, Refine moves gains and zeros only and leaves the poles where the start has
    // them: an input of a model with shared poles refitted alone.
    bool HoldPoles = false;

    // Sum of squared residuals on the estimation rows; infinity when it is not finite.
    double SquaredError(const LinearModel& model) const;
    // The model with its parameters refined. Never worse than the start, unless the start has
    // a pole on or outside the unit circle: such poles are mirrored inside first.
    Result Refine(const LinearModel& start) const;
    // Simpler structures, input by input, while one fits well enough to pay for its fewer
    // parameters: a factor less, a pair of roots turned into one real root, or one sample
    // less delay, each refitted alone against the output less the other inputs' shares, and
    // kept when its squared error plus `penalty` per parameter is lower than the model's;
    // after each pass that changed something the whole model is refined. The search keeps terms
    // that only chance put there; with many inputs it rarely clears them all. A model with
    // shared poles keeps them shared: its inputs are refitted with the poles held, and a shared
    // pole less or a shared pair turned into a real root is refitted as the whole model. The
    // simplest model replaces one that does not score lower than it.
    Result Simplify(Result start, double penalty) const;
    // Refines the first `starts` candidates of distinct structure, in the candidates' order
    // (put the best first), and returns the result of lowest error, the earliest among
    // equals, or the simplest model when that error is not below the simplest's. Empty
    // candidates give an empty model of infinite error.
    Result RefineBest(std::span<const LinearModel> candidates, std::size_t starts = 8) const;

    // The columns, rows and experiments it fits to, as given.
    const std::vector<std::span<const double>>& Inputs() const { return inputs; }
    std::span<const double> Output() const { return output; }
    std::size_t EstimationRows() const { return rows; }
    const Experiments& SampleExperiments() const { return experiments; }

private:
    // One pass of Simplify over the inputs; whether any input took a simpler form.
    bool SimplifyInputs(Result& current, double penalty) const;
    // Simpler shared poles for every input at once; whether the model took any.
    bool SimplifySharedPoles(Result& current, double penalty) const;
    // The result, or the simplest model when the result does not score lower than it or the
    // output holds one value throughout: it shows no response to any input, whatever a model
    // fits to its level.
    Result OrSimplest(Result result, double penalty) const;
    bool StopAsked() const;

    std::vector<std::span<const double>> inputs;
    std::span<const double> output;
    std::size_t rows;
    Experiments experiments;
};

} // namespace orvanel
