#include "model/MISOFunTrans.h"

#include "model/RecursionLanes.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <utility>

namespace orvanel {
namespace {

// Lanes times samples from which a scoring may share its lanes between two threads.
constexpr std::size_t LargeScoring = std::size_t{1} << 20;

// Buffers reused by every evaluation on one thread, so a model keeps no per-input output.
struct EvaluationScratch {
    std::vector<double> simulated;
    std::vector<double> sum;
};

EvaluationScratch& ThreadScratch() {
    thread_local EvaluationScratch scratch;
    return scratch;
}

// The same for ScoreAll: a sum per model, a gain-scaled numerator per simulated transfer
// function, and which transfer function each simulated lane belongs to.
struct ScoringScratch {
    std::vector<std::vector<double>> sums;
    std::vector<std::vector<double>> scaled;
    std::vector<RecursionLanes::Lane> lanes;
    std::vector<std::pair<std::size_t, TFunTrans*>> simulated;
    std::vector<double> errors;
};

using Pair = double __attribute__((vector_size(16)));
using Quad = double __attribute__((vector_size(32)));

// FourErrorsBaseline in one register of four lanes: the divisions, which bound this loop, go
// four at a time.
__attribute__((target("avx"))) void FourErrorsWide(const double* const (&sum)[4],
                                                   const std::vector<double>& measured,
                                                   double (&found)[4]) {
    constexpr double s = TMISOFunTrans::ResidualScale;
    const Quad scale = {s, s, s, s};
    Quad error = {};
    for (std::size_t j = 0; j < measured.size(); ++j) {
        const double y = measured[j];
        const Quad e =
            (Quad{sum[0][j], sum[1][j], sum[2][j], sum[3][j]} - Quad{y, y, y, y}) / scale;
        error = error + e * e;
    }
    for (int k = 0; k < 4; ++k)
        found[k] = error[k];
}

// The errors of four sums (the last repeated when fewer), each lane as Finish computes its
// error, without the checks.
void FourErrorsBaseline(const double* const (&sum)[4], const std::vector<double>& measured,
                        double (&found)[4]) {
    constexpr double s = TMISOFunTrans::ResidualScale;
    const Pair scale = {s, s};
    Pair low = {};
    Pair high = {};
    for (std::size_t j = 0; j < measured.size(); ++j) {
        const Pair m = {measured[j], measured[j]};
        const Pair a = (Pair{sum[0][j], sum[1][j]} - m) / scale;
        const Pair b = (Pair{sum[2][j], sum[3][j]} - m) / scale;
        low = low + a * a;
        high = high + b * b;
    }
    found[0] = low[0];
    found[1] = low[1];
    found[2] = high[0];
    found[3] = high[1];
}

// The error Finish computes for each of the first n sums, without its checks: four sums at
// a time, so that their chains of additions overlap instead of waiting on each other.
void ResidualErrors(const std::vector<std::vector<double>>& sums, std::size_t n,
                    const std::vector<double>& measured, std::vector<double>& errors,
                    bool baselineOnly) {
    static const auto best = __builtin_cpu_supports("avx") ? FourErrorsWide : FourErrorsBaseline;
    const auto four = baselineOnly ? FourErrorsBaseline : best;
    constexpr std::size_t Together = 4;
    for (std::size_t first = 0; first < n; first += Together) {
        const double* sum[Together];
        for (std::size_t k = 0; k < Together; ++k)
            sum[k] = sums[std::min(first + k, n - 1)].data();
        double found[Together];
        four(sum, measured, found);
        for (std::size_t k = 0; k < Together && first + k < n; ++k)
            errors[first + k] = found[k];
    }
}

ScoringScratch& ThreadScoringScratch() {
    thread_local ScoringScratch scratch;
    return scratch;
}

TFunTrans NewFunction() {
    TFunTrans function;
    function.SetGeneCount(TMISOFunTrans::DefaultGeneCount);
    return function;
}

// Adds the simulated outputs of every input, in input order, to a sum starting from 0.
// The sum never holds -0.0, so the samples a failed transfer function does not simulate,
// which would add 0.0, may be left out.
void SumInputs(std::span<TFunTrans> functions, std::size_t count, char decimalSeparator,
               EvaluationScratch& scratch) {
    scratch.sum.assign(count, 0.0);
    scratch.simulated.resize(count);
    for (TFunTrans& function : functions)
        function.EvaluateAdding(scratch.sum.data(), scratch.simulated.data(), decimalSeparator);
}

} // namespace

TMISOFunTrans::TMISOFunTrans() {
    functions.push_back(NewFunction());
}

void TMISOFunTrans::SetInputCount(int n) {
    if (n == InputCount())
        return;
    if (n < 1)
        throw std::invalid_argument("InputCount must be at least 1");
    const auto count = static_cast<std::size_t>(n);
    if (count < functions.size())
        functions.erase(functions.begin() + n, functions.end());
    while (functions.size() < count)
        functions.push_back(NewFunction());
}

void TMISOFunTrans::Assign(const TMISOFunTrans& source) {
    if (&source == this) {
        ParamCount = SumOfParamCounts();
        return;
    }
    Fitness = source.Fitness;
    Expected = source.Expected;
    Error = source.Error;
    ParamCount = source.SumOfParamCounts();
    output = source.output;
    functions.resize(source.functions.size());
    // As fresh objects: the coefficients, Error and SimOutput are not carried over.
    for (std::size_t k = 0; k < functions.size(); ++k)
        functions[k].CopyFresh(source.functions[k]);
}

std::size_t TMISOFunTrans::CheckedSampleCount() const {
    const std::size_t count = functions.front().Outputs().size();
    for (const TFunTrans& function : functions)
        if (function.Outputs().size() != count)
            throw std::invalid_argument("Every input needs as many samples as the first");
    return count;
}

double TMISOFunTrans::Evaluate(char decimalSeparator) {
    const std::size_t count = CheckedSampleCount();
    Error = 0.0;
    EvaluationScratch& scratch = ThreadScratch();
    SumInputs(functions, count, decimalSeparator, scratch);
    return Finish(scratch.sum);
}

double TMISOFunTrans::Finish(std::vector<double>& sum) {
    const std::vector<double>& measured = functions.front().Outputs();
    const std::size_t count = measured.size();
    double error = 0.0;
    for (std::size_t j = 0; j < count; ++j) {
        const double value = sum[j];
        const double e = (value - measured[j]) / ResidualScale;
        error = error + e * e;
        if (!std::isfinite(value) || !std::isfinite(error)) {
            // Output keeps its earlier entries from the failing sample on, except a finite
            // sum whose residual failed, which was already stored.
            const std::size_t stored = std::isfinite(value) ? j + 1 : j;
            std::vector<double>& own = OwnOutput();
            own.resize(count);
            std::copy(sum.begin(), sum.begin() + static_cast<std::ptrdiff_t>(stored), own.begin());
            Error = TFunTrans::FailedError;
            return Error;
        }
    }
    return Keep(sum, error);
}

double TMISOFunTrans::Keep(std::vector<double>& sum, double error) {
    if (output.use_count() == 1)
        output->swap(sum);
    else
        output = std::make_shared<std::vector<double>>(std::move(sum));
    return SetError(error);
}

double TMISOFunTrans::SetError(double error) {
    Error = error;
    for (const TFunTrans& function : functions)
        if (function.Error > DivergedError)
            Error = TFunTrans::FailedError;
    return Error;
}

double TMISOFunTrans::Score(int threads) {
    TMISOFunTrans* const self = this;
    ScoreAll(std::span(&self, 1), false, true, threads);
    return Error;
}

void TMISOFunTrans::ScoreAll(std::span<TMISOFunTrans* const> models, bool baselineOnly,
                             bool keepOutputs, int threads) {
    for (const TMISOFunTrans* model : models)
        model->CheckedSampleCount();
    // Lanes run over one sample count and one set of experiments, so models of others go in a
    // batch of their own.
    for (std::size_t first = 0; first < models.size();) {
        const TFunTrans& samples = models[first]->functions.front();
        const std::size_t count = samples.Outputs().size();
        std::size_t end = first + 1;
        while (end < models.size() && models[end]->functions.front().Outputs().size() == count &&
               models[end]->functions.front().SampleExperiments() == samples.SampleExperiments())
            ++end;
        ScoreBatch(models.subspan(first, end - first), count, baselineOnly, keepOutputs, threads);
        first = end;
    }
}

void TMISOFunTrans::ScoreBatch(std::span<TMISOFunTrans* const> models, std::size_t count,
                               bool baselineOnly, bool keepOutputs, int threads) {
    ScoringScratch& scratch = ThreadScoringScratch();
    std::size_t functionCount = 0;
    std::size_t inputs = 0;
    for (const TMISOFunTrans* model : models) {
        functionCount += model->functions.size();
        inputs = std::max(inputs, model->functions.size());
    }
    scratch.sums.resize(std::max(scratch.sums.size(), models.size()));
    scratch.scaled.resize(std::max(scratch.scaled.size(), functionCount));
    scratch.lanes.clear();
    scratch.simulated.clear();
    for (std::size_t k = 0; k < models.size(); ++k) {
        models[k]->Error = 0.0;
        scratch.sums[k].resize(count);
    }
    // Input by input, so that the lanes next to each other read the same data.
    for (std::size_t t = 0; t < inputs; ++t) {
        for (std::size_t k = 0; k < models.size(); ++k) {
            if (t >= models[k]->functions.size())
                continue;
            TFunTrans& function = models[k]->functions[t];
            RecursionLanes::Lane lane;
            lane.sum = scratch.sums[k].data();
            if (!function.DecodeModel()) {
                function.Error = TFunTrans::FailedError;
                lane.simulated = false;
                lane.constant = TFunTrans::FailedSample;
                scratch.lanes.push_back(lane);
                continue;
            }
            if (!function.Admissible()) {
                function.Error = TFunTrans::FailedError;
                continue;
            }
            lane.recursion = function.MakeRecursion(scratch.scaled[scratch.simulated.size()]);
            scratch.lanes.push_back(lane);
            scratch.simulated.push_back({scratch.lanes.size() - 1, &function});
        }
    }
    // The lanes clear the sums they add to; a model without a simulated or constant lane
    // keeps a sum of zeros.
    for (std::size_t k = 0; k < models.size(); ++k) {
        const double* sum = scratch.sums[k].data();
        if (std::none_of(scratch.lanes.begin(), scratch.lanes.end(),
                         [sum](const RecursionLanes::Lane& lane) { return lane.sum == sum; }))
            scratch.sums[k].assign(count, 0.0);
    }
    // A second thread pays for itself only on long runs of many lanes.
    const bool large = scratch.lanes.size() * count >= LargeScoring;
    RecursionLanes::Run(scratch.lanes, models.front()->functions.front().SampleExperiments(), count,
                        baselineOnly, true, large ? threads : 1);
    for (const auto& [lane, function] : scratch.simulated) {
        const Recursion::Result& result = scratch.lanes[lane].result;
        function->Error = result.complete ? result.error : TFunTrans::FailedError;
    }
    scratch.errors.resize(models.size());
    ResidualErrors(scratch.sums, models.size(), models.front()->functions.front().Outputs(),
                   scratch.errors, baselineOnly);
    // A finite error means no sample failed; otherwise the careful pass finds where.
    for (std::size_t k = 0; k < models.size(); ++k) {
        TMISOFunTrans& model = *models[k];
        if (!std::isfinite(scratch.errors[k]))
            model.Finish(scratch.sums[k]);
        else if (keepOutputs)
            model.Keep(scratch.sums[k], scratch.errors[k]);
        else
            model.SetError(scratch.errors[k]);
        if (!keepOutputs)
            model.output.reset();
    }
}

const std::vector<double>& TMISOFunTrans::Output() const {
    static const std::vector<double> empty;
    return output ? *output : empty;
}

std::vector<double>& TMISOFunTrans::OwnOutput() {
    if (!output)
        output = std::make_shared<std::vector<double>>();
    else if (output.use_count() != 1)
        output = std::make_shared<std::vector<double>>(*output);
    return *output;
}

double TMISOFunTrans::OutputSample(long long i) const {
    const std::vector<double>& values = Output();
    return i < 0 || i >= static_cast<long long>(values.size())
               ? 0.0
               : values[static_cast<std::size_t>(i)];
}

int TMISOFunTrans::ParamCountSum() {
    ParamCount = SumOfParamCounts();
    return ParamCount;
}

int TMISOFunTrans::SumOfParamCounts() const {
    int sum = 0;
    for (const TFunTrans& function : functions)
        sum += function.ParamCount;
    return sum;
}

void TMISOFunTrans::SigmaScale(double mean, double deviation) {
    if (deviation > 0) {
        Expected = (Fitness - mean + 1) / (2 * deviation);
        if (Expected < 0)
            Expected = 0.1;
    } else {
        Expected = 1.0;
    }
}

void TMISOFunTrans::RankScale(int rank, int count) {
    if (count < 2) {
        Expected = 1.0;
        return;
    }
    Expected = 0.9 + 0.2 * (rank - 1) / (count - 1);
}

} // namespace orvanel
