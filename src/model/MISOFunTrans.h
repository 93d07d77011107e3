// A multiple-input single-output model: one transfer function per input, outputs added.
#pragma once

#include "model/FunTrans.h"

#include <memory>
#include <span>
#include <vector>

namespace orvanel {

// The individual of the genetic algorithm: the sum of one TFunTrans per input, with the fitness
// and selection weight the engine gives it. Distinct models may be evaluated on different
// threads at once; each thread keeps its own scratch buffers.
class TMISOFunTrans {
public:
    // Genes of a transfer function made by SetInputCount.
    static constexpr int DefaultGeneCount = 6;
    // A transfer function whose own Error is above this fails the model.
    static constexpr double DivergedError = 1e200;
    // Each residual is divided by ResidualScale before it is squared, so Error is the squared
    // residual sum divided by ErrorScale; whatever is compared with Error shares the scale.
    static constexpr double ResidualScale = 100.0;
    static constexpr double ErrorScale = ResidualScale * ResidualScale;

    // One input with a transfer function of 6 zero genes; scores 0, Output empty.
    TMISOFunTrans();

    // Number of inputs, the size of Functions; at least 1.
    int InputCount() const { return static_cast<int>(functions.size()); }
    // The transfer function of input k at position k.
    std::span<TFunTrans> Functions() { return functions; }
    std::span<const TFunTrans> Functions() const { return functions; }
    // The computed output of the last Evaluate, one entry per sample.
    const std::vector<double>& Output() const;

    // Resizes Functions to n, keeping the first transfer functions untouched and giving new
    // ones 6 zero genes; the current count changes nothing. Throws std::invalid_argument,
    // changing nothing, for n below 1.
    void SetInputCount(int n);
    // Makes this model an independent copy of source: scores, Output, and per input a fresh
    // transfer function filled by CopyFrom (chromosome, samples, ParamCount, texts). ParamCount
    // becomes the sum of the source's transfer functions; unlike the source's ParamCountSum
    // this does not write into the source, so several threads may copy one source at once.
    // Costs O(genes): the data samples and Output are shared until either side changes them.
    void Assign(const TMISOFunTrans& source);
    // Lets go of Output, which becomes empty, and keeps the rest: for an object kept only
    // for its storage, so that it holds no share of another's output.
    void ReleaseOutput() { output.reset(); }
    // Evaluates every transfer function, adds their outputs in input order into Output and
    // sets Error to the sum of squared residuals divided by ErrorScale. Error is 1e300 when a
    // transfer function's own Error is above 1e200 or when a sum or the error leaves the double
    // range; Output then keeps what was computed before the failing sample. Coefficients are
    // written into the texts with the given decimal separator. The transfer functions'
    // SimOutput is not filled: each input is simulated into a per-thread buffer, so a
    // transfer function rejected or failing part-way adds nothing from its failing sample on
    // (never stale values of an earlier evaluation), and one whose genes cannot be decoded
    // adds -10 per sample. Throws
    // std::invalid_argument, before changing anything, when the transfer functions hold
    // different numbers of samples.
    double Evaluate(char decimalSeparator = '.');
    // Evaluate for several models at once, their transfer functions run side by side in
    // the processor's vector lanes: each model ends with the same Error, Output and transfer
    // function coefficients and Errors that Evaluate gives, but the texts keep their last
    // contents. Throws std::invalid_argument, before changing any model, when one has
    // transfer functions with different numbers of samples. The models must be distinct;
    // distinct batches may be scored on different threads at once. baselineOnly keeps to
    // the vector instructions of every x86-64 processor (the results are the same). Without
    // keepOutputs the models are left with an empty Output: a search reads only the errors
    // of the models it scores, and storing each output cost it more than a tenth of its time.
    // With threads above 1 a large batch shares its lanes out between two threads.
    static void ScoreAll(std::span<TMISOFunTrans* const> models, bool baselineOnly = false,
                         bool keepOutputs = true, int threads = 1);
    // ScoreAll of this model alone; returns Error.
    double Score(int threads = 1);
    // Output[i], or 0.0 when i is negative or past the last entry.
    double OutputSample(long long i) const;
    // ParamCount := the sum of the transfer functions' ParamCount; returns it.
    int ParamCountSum();
    // Sigma scaling: Expected := (Fitness - mean + 1) / (2 deviation), 0.1 when that is
    // negative, and 1.0 when the deviation is not positive.
    void SigmaScale(double mean, double deviation);
    // Linear ranking: Expected := 0.9 + 0.2 (rank - 1) / (count - 1), so the fittest (rank
    // count) gets 1.1 and the least fit (rank 1) 0.9; 1.0 when count is below 2.
    void RankScale(int rank, int count);

    double Fitness = 0.0;
    double Expected = 0.0;
    // Result of the last Evaluate; 1e300 marks a failed or rejected model.
    double Error = 0.0;
    // Sum of the transfer functions' ParamCount as last computed by ParamCountSum or Assign.
    int ParamCount = 0;

private:
    int SumOfParamCounts() const;
    // Throws std::invalid_argument unless every transfer function holds as many samples as
    // the first; returns that count.
    std::size_t CheckedSampleCount() const;
    // Error and Output from the sum of the inputs' outputs, which may be swapped into Output.
    double Finish(std::vector<double>& sum);
    // Finish for a sum known to give the finite error.
    double Keep(std::vector<double>& sum, double error);
    // Error := error, or FailedError when a transfer function diverged; returns it.
    double SetError(double error);
    static void ScoreBatch(std::span<TMISOFunTrans* const> models, std::size_t count,
                           bool baselineOnly, bool keepOutputs, int threads);
    // Output as a vector of this model's own, for writing.
    std::vector<double>& OwnOutput();

    std::vector<TFunTrans> functions;
    // Shared with copies made by Assign; replaced rather than changed while shared.
    std::shared_ptr<std::vector<double>> output;
};

} // namespace orvanel
