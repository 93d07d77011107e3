// Speed of evaluating a transfer function and of copying a model.
#include "model/FunTrans.h"
#include "model/MISOFunTrans.h"
#include "model/SampleColumn.h"
#include "model/WorkerPool.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <memory>
#include <span>
#include <sys/resource.h>
#include <vector>

using namespace orvanel;

namespace {

// A reproducible input in [-1, 1) without touching the program's random source.
std::vector<double> NoiseColumn(std::size_t count, std::uint32_t seed) {
    std::vector<double> values(count);
    for (double& v : values) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<double>(seed) / 2147483648.0 - 1.0;
    }
    return values;
}

// poles stable first-order poles, one zero (admitted when there are two poles or more) and a
// gain, over count samples of noise.
TFunTrans StableModel(int poles, std::size_t count) {
    TFunTrans f;
    f.SetGeneCount(poles + 2);
    for (int g = 0; g < poles; ++g) {
        f.SetGeneValue(g, g % 2 == 0 ? -0.5 : 0.25);
        f.SetGeneType(g, 1);
    }
    f.SetGeneValue(poles, 0.75);
    f.SetGeneType(poles, 0);
    f.SetGeneValue(poles + 1, 1.5);
    f.SetGeneType(poles + 1, 5);
    f.SetSamples(std::make_shared<const std::vector<double>>(NoiseColumn(count, 1)),
                 std::make_shared<const std::vector<double>>(NoiseColumn(count, 2)));
    return f;
}

void BM_FunTransEvaluate(benchmark::State& state) {
    const auto poles = static_cast<int>(state.range(0));
    const auto count = static_cast<std::size_t>(state.range(1));
    TFunTrans f = StableModel(poles, count);
    for (auto _ : state)
        benchmark::DoNotOptimize(f.Evaluate());
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FunTransEvaluate)
    ->ArgNames({"poles", "samples"})
    ->ArgsProduct({{1, 2, 4, 8}, {1000, 1000000}});

// The 2-pole model's recursion as a bare loop, to compare Evaluate against on a busy machine.
void BM_PlainTwoPoleLoop(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const TFunTrans f = [&] {
        TFunTrans model = StableModel(2, count);
        model.Evaluate();
        return model;
    }();
    const double* u = f.Inputs().data();
    const double* out = f.Outputs().data();
    const double b0 = f.Numerator[0] * f.Gain;
    const double b1 = f.Numerator[1] * f.Gain;
    const double a0 = f.Denominator[0];
    const double a1 = f.Denominator[1];
    std::vector<double> y(count);
    for (auto _ : state) {
        double y2 = 0.0;
        double y1 = 0.0;
        double error = 0.0;
        for (std::size_t i = 2; i < count; ++i) {
            const double value = (u[i - 2] * b0 + u[i - 1] * b1) - (y2 * a0 + y1 * a1);
            y[i] = value;
            const double r = out[i] - value;
            error += r * r;
            y2 = y1;
            y1 = value;
        }
        benchmark::DoNotOptimize(error);
    }
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlainTwoPoleLoop)->ArgName("samples")->Arg(1000000);

// inputs first-order transfer functions over count samples, evaluated once.
TMISOFunTrans FourInputModel(std::size_t count) {
    constexpr int Inputs = 4;
    TMISOFunTrans model;
    model.SetInputCount(Inputs);
    const auto output = std::make_shared<const std::vector<double>>(NoiseColumn(count, 99));
    for (int k = 0; k < Inputs; ++k) {
        TFunTrans& f = model.Functions()[static_cast<std::size_t>(k)];
        f.SetGeneValue(0, -0.5);
        f.SetGeneType(0, 1);
        f.SetSamples(std::make_shared<const std::vector<double>>(
                         NoiseColumn(count, static_cast<std::uint32_t>(k + 3))),
                     output);
    }
    model.Evaluate();
    return model;
}

void BM_MISOEvaluate(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    TMISOFunTrans model = FourInputModel(count);
    for (auto _ : state)
        benchmark::DoNotOptimize(model.Evaluate());
    state.counters["per_sample_and_input"] = benchmark::Counter(
        static_cast<double>(count * 4),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MISOEvaluate)->ArgName("samples")->Arg(100000);

// A stable model of inputs transfer functions over count samples of noise, of one to three
// poles, up to one zero and up to two samples of delay, varied by input and by variant.
TMISOFunTrans ValidModel(int inputs, std::size_t count, int variant) {
    static std::vector<SampleColumn::Shared> columns;
    if (columns.size() != static_cast<std::size_t>(inputs) + 1 ||
        columns.front()->size() != count) {
        columns.clear();
        for (int k = 0; k <= inputs; ++k)
            columns.push_back(std::make_shared<const std::vector<double>>(
                NoiseColumn(count, static_cast<std::uint32_t>(k + 3))));
    }
    TMISOFunTrans model;
    model.SetInputCount(inputs);
    for (int k = 0; k < inputs; ++k) {
        TFunTrans& f = model.Functions()[static_cast<std::size_t>(k)];
        const int shape = (k + variant) % 6;
        const double pole = -0.2 - 0.1 * ((k * 7 + variant) % 6);
        f.SetGeneValue(0, pole);
        f.SetGeneType(0, 1);
        f.SetGeneValue(1, shape < 3 ? 0.3 : -0.4);
        f.SetGeneType(1, shape < 2 ? 6 : 1);
        f.SetGeneValue(2, 0.25);
        f.SetGeneType(2, shape % 2 == 0 ? 0 : 6);
        f.SetGeneValue(3, 0.5 * (shape % 3));
        f.SetGeneType(3, 4);
        f.SetGeneValue(4, 0.9 + 0.01 * k);
        f.SetGeneType(4, 5);
        f.SetGeneValue(5, -0.1);
        f.SetGeneType(5, shape == 5 ? 1 : 7);
        f.SetSamples(columns[static_cast<std::size_t>(k)], columns.back());
    }
    return model;
}

// One model of 50 inputs over 100,000 samples: today's Evaluate, one transfer function after
// the other, against Score, which runs them side by side, on one thread or two.
void MISO50(benchmark::State& state, bool together, int threads) {
    constexpr int Inputs = 50;
    const auto count = static_cast<std::size_t>(state.range(0));
    TMISOFunTrans model = ValidModel(Inputs, count, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(together ? model.Score(threads) : model.Evaluate());
    state.counters["per_sample_and_input"] = benchmark::Counter(
        static_cast<double>(count * Inputs),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["error"] = model.Error;
}
BENCHMARK_CAPTURE(MISO50, evaluate_baseline, false, 1)->ArgName("samples")->Arg(100000);
BENCHMARK_CAPTURE(MISO50, score_together, true, 1)->ArgName("samples")->Arg(100000);
BENCHMARK_CAPTURE(MISO50, score_together_two_threads, true, 2)
    ->ArgName("samples")
    ->Arg(100000)
    ->UseRealTime();

// CPU time of every thread of the process so far, in milliseconds.
double ProcessCpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The scoring of one generation, population 80 of 50 inputs over 100,000 samples, on two
// threads: today's one model per task, against batches scored together as the engine
// hands them out. peak_rss_mib is the process's peak resident memory so far; process_cpu_ms
// the CPU time of both threads per generation, which a busy machine inflates less than the
// real time.
void Generation50(benchmark::State& state, bool together) {
    constexpr int Inputs = 50;
    constexpr int Population = 80;
    constexpr int Threads = 2;
    constexpr std::size_t Batch = 4;
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<TMISOFunTrans> population;
    for (int p = 0; p < Population; ++p)
        population.push_back(ValidModel(Inputs, count, p));
    std::vector<TMISOFunTrans*> models;
    for (TMISOFunTrans& model : population)
        models.push_back(&model);
    WorkerPool pool(Threads);
    const double cpuBefore = ProcessCpuMilliseconds();
    for (auto _ : state) {
        if (together)
            pool.ForEach(models.size() / Batch, [&](std::size_t b) {
                TMISOFunTrans::ScoreAll(std::span(models).subspan(b * Batch, Batch), false, false);
            });
        else
            pool.ForEach(models.size(), [&](std::size_t i) { models[i]->Evaluate(); });
    }
    state.counters["process_cpu_ms"] =
        (ProcessCpuMilliseconds() - cpuBefore) / static_cast<double>(state.iterations());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mib"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["error_of_first"] = population.front().Error;
}
BENCHMARK_CAPTURE(Generation50, evaluate_baseline, false)
    ->ArgName("samples")
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(Generation50, score_together, true)
    ->ArgName("samples")
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_MISOAssign(benchmark::State& state) {
    const TMISOFunTrans source = FourInputModel(static_cast<std::size_t>(state.range(0)));
    TMISOFunTrans copy;
    for (auto _ : state) {
        copy.Assign(source);
        benchmark::DoNotOptimize(copy.Error);
    }
}
BENCHMARK(BM_MISOAssign)->ArgName("samples")->Arg(1000)->Arg(100000);

} // namespace

BENCHMARK_MAIN();
