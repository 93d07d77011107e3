// Whole identification runs with the default parameters on a generated two-input data set:
// the reference mode (one thread, every evaluation the algorithm names), the evaluation cache
// alone, the fast mode (cache, every core, models scored together in the vector lanes), and
// as a baseline the fast mode scoring each model alone.
#include "cli/ExampleData.h"
#include "engine/search/Genetico.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

using namespace orvanel;

constexpr int Samples = 5000;
constexpr std::uint32_t DataSeed = 7;
constexpr int SeedMilliseconds = 537;

// CPU time of every thread of the process so far, in milliseconds.
double ProcessCpuMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void HandOver(const std::vector<std::vector<double>>& rows, TGenetico& engine) {
    engine.RequestStop();
    engine.SetDataSize(2, static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        engine.SetDataRow(rows[r], static_cast<int>(r) + 1);
    engine.SetInputCount(2);
    engine.SetGenesPerInput(6);
    for (int g = 0; g < 6; ++g)
        engine.SetGeneRange(g, -1.0, 1.0);
}

enum class Mode { Reference, CacheOneThread, FastScoredAlone, Fast };

void WholeRun(benchmark::State& state, Mode mode) {
    const auto rows = ExampleData::TwoInputs(Samples, DataSeed);
    double evaluationsPerGeneration = 0.0;
    double initialEvaluations = 0.0;
    double bestError = 0.0;
    const double cpuBefore = ProcessCpuMilliseconds();
    for (auto _ : state) {
        // The integer draws continue across runs in one process; start each run alike.
        Rnd::GlobalState().SystemSeed = 0;
        TGenetico engine(SeedMilliseconds);
        if (mode == Mode::Reference)
            engine.UseReferenceMode();
        if (mode == Mode::CacheOneThread)
            engine.ThreadCount = 1;
        if (mode == Mode::FastScoredAlone)
            engine.ScoreTogether = false;
        HandOver(rows, engine);
        std::int64_t atFirstRow = -1;
        engine.AppendEvolutionRow = [&](const TGenetico& e) {
            if (atFirstRow < 0)
                atFirstRow = e.EvaluationCount();
        };
        std::int64_t beforeEvolution = 0;
        engine.ProcessMessages = [&] {
            if (!engine.Evolving())
                beforeEvolution = engine.EvaluationCount();
        };
        engine.Run();
        // Generation 0's evaluations are those after the initial population up to its row.
        const auto generationEvaluations = engine.EvaluationCount() - beforeEvolution;
        evaluationsPerGeneration = static_cast<double>(generationEvaluations) /
                                   static_cast<double>(engine.Generations + 1);
        initialEvaluations = static_cast<double>(beforeEvolution);
        bestError = engine.BestModel().Error;
    }
    state.counters["evaluations_per_generation"] = evaluationsPerGeneration;
    state.counters["initial_population_evaluations"] = initialEvaluations;
    state.counters["best_error"] = bestError;
    // Every thread's CPU time per run: a busy machine inflates it less than the real time.
    state.counters["process_cpu_ms"] =
        (ProcessCpuMilliseconds() - cpuBefore) / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK_CAPTURE(WholeRun, reference, Mode::Reference)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK_CAPTURE(WholeRun, cache_one_thread, Mode::CacheOneThread)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK_CAPTURE(WholeRun, fast_scored_alone, Mode::FastScoredAlone)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK_CAPTURE(WholeRun, fast, Mode::Fast)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

BENCHMARK_MAIN();
