#include "document/IdentificationRun.h"

#include "document/ReplacementFile.h"
#include "document/TableSamples.h"
#include "engine/FitFigure.h"
#include "engine/Genetico.h"
#include "engine/Refinement.h"
#include "engine/RunParameters.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace orvanel {
namespace {

// Distinct structures refined after each search.
constexpr std::size_t RefinementStarts = 8;

double SquaredDeviation(std::span<const double> values) {
    if (values.empty())
        return 0.0;
    double mean = 0.0;
    for (const double v : values)
        mean = mean + v;
    mean = mean / static_cast<double>(values.size());
    double sum = 0.0;
    for (const double v : values)
        sum = sum + (v - mean) * (v - mean);
    return sum;
}

// Restart k's random source: seeded with the k-th draw of the run's own sequence, so that
// every restart follows from the run's seed alone.
void SeedRestart(int k, const Rnd::State& seed) {
    Rnd::State& state = Rnd::GlobalState();
    state = seed;
    double draw = 0.0;
    for (int j = 0; j < k; ++j)
        draw = Rnd::RandomReal();
    Rnd::SeedRandom(draw);
    state.SystemSeed = seed.SystemSeed + static_cast<std::uint32_t>(k) * 2654435761u;
}

void CopySettings(const TGenetico& from, TGenetico& to) {
    for (const RunParameter* parameter : RunParameters::All())
        parameter->Store(to, parameter->Read(from));
    to.SetGenesPerInput(from.GenesPerInput());
    for (int g = 0; g < from.GenesPerInput(); ++g)
        to.SetGeneRange(g, from.GeneMin()[static_cast<std::size_t>(g)],
                        from.GeneMax()[static_cast<std::size_t>(g)]);
    to.CacheEvaluations = from.CacheEvaluations;
    to.ScoreTogether = from.ScoreTogether;
}

} // namespace

IdentificationRun::IdentificationRun(TGenetico& engine) : engine(engine) {}

std::optional<std::string> IdentificationRun::HandOver(const TableSamples& samples) {
    engine.RequestStop();
    resolved = Options.Resolved();
    result.reset();
    candidates.clear();
    const auto rows = static_cast<std::size_t>(samples.Samples());
    const auto width = static_cast<std::size_t>(samples.Inputs()) + 1;
    columns.assign(width, std::vector<double>(rows));
    for (std::size_t r = 0; r < rows; ++r) {
        const std::span<const double> row = samples.Row(static_cast<int>(r));
        for (std::size_t c = 0; c < width; ++c)
            columns[c][r] = row[c];
    }
    measured = columns.back();
    estimationRows = rows - static_cast<std::size_t>(resolved.ValidationRows(samples.Samples()));
    offsets =
        resolved.RemoveOffsets ? ColumnOffsets::Measure(columns, estimationRows) : ColumnOffsets();
    offsets.Remove(columns);
    resolved.ApplySearchSettings(
        engine, SquaredDeviation(std::span<const double>(columns.back()).first(estimationRows)));
    HandEstimationRows(engine);
    engine.SetGenesPerInput(GenesPerInput);
    for (int g = 0; g < GenesPerInput; ++g)
        engine.SetGeneRange(g, -1.0, 1.0);
    return engine.RunRefusal();
}

void IdentificationRun::BeginReport(const std::string& path, ReportSeparators separators) {
    report = RunReport(std::move(separators));
    reportBegun = false;
    report.BeginReport(path, engine);
    reportBegun = true;
}

std::string IdentificationRun::Run() {
    std::string failure;
    try {
        RunEngine();
        Conclude();
    } catch (const std::exception& error) {
        failure = error.what();
    }
    return Finish(std::move(failure));
}

std::string IdentificationRun::Finish(std::string failure) {
    try {
        const bool section = failure.empty() && result && resolved.AnyOptIn();
        report.EndReport(engine, failure,
                         section ? report.QualityText(*result, resolved) : std::string());
    } catch (const std::exception& error) {
        if (failure.empty())
            return error.what();
    }
    return failure.empty() ? failure : RunReport::FailureText(failure);
}

// The hooks hold this run's callbacks only while it runs, so a later run or a destroyed owner
// is never called back.
void IdentificationRun::RunEngine() {
    engine.AppendEvolutionRow = [this](const TGenetico& e) {
        report.AppendEvolutionRow(e);
        CollectCandidate(e, candidates);
        if (OnRow)
            OnRow(e);
    };
    engine.ProcessMessages = OnProgress;
    engine.KeepResponsive = OnResponsive;
    const auto clearHooks = [this] {
        engine.AppendEvolutionRow = nullptr;
        engine.ProcessMessages = nullptr;
        engine.KeepResponsive = nullptr;
    };
    try {
        if (BeforeRun)
            BeforeRun();
        seedState = Rnd::GlobalState();
        engine.Run();
    } catch (...) {
        clearHooks();
        throw;
    }
    clearHooks();
}

void IdentificationRun::HandEstimationRows(TGenetico& target) const {
    const int inputs = static_cast<int>(columns.size()) - 1;
    target.SetDataSize(inputs, static_cast<int>(estimationRows));
    std::vector<double> row(columns.size());
    for (std::size_t r = 0; r < estimationRows; ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            row[c] = columns[c][r];
        target.SetDataRow(row, static_cast<int>(r) + 1);
    }
    target.SetInputCount(inputs);
}

// Every generation's best is a start for the refinement; a generation that kept the previous
// best adds nothing.
void IdentificationRun::CollectCandidate(const TGenetico& search,
                                         std::vector<LinearModel>& found) const {
    if (!resolved.Refine)
        return;
    std::optional<LinearModel> model = LinearModel::From(search.BestModel());
    if (model && (found.empty() || found.back() != *model))
        found.push_back(std::move(*model));
}

std::vector<std::span<const double>> IdentificationRun::InputColumns(std::size_t rows) const {
    std::vector<std::span<const double>> inputs;
    for (std::size_t c = 0; c + 1 < columns.size(); ++c)
        inputs.emplace_back(std::span<const double>(columns[c]).first(rows));
    return inputs;
}

// The search's best model, or with refinement the best refined one among the distinct
// structures of the generations' bests and the final population's best, lowest error first.
std::optional<IdentificationRun::Found>
IdentificationRun::Best(const TGenetico& search, std::vector<LinearModel> found) const {
    const Refinement refinement(InputColumns(estimationRows),
                                std::span<const double>(columns.back()).first(estimationRows),
                                estimationRows);
    if (!resolved.Refine) {
        std::optional<LinearModel> model = LinearModel::From(search.BestModel());
        if (!model)
            return std::nullopt;
        const double error = refinement.SquaredError(*model);
        return Found{std::move(*model), error};
    }
    const auto& population = search.Population();
    const auto best = std::min_element(
        population.begin(), population.end(),
        [](const TMISOFunTrans& a, const TMISOFunTrans& b) { return a.Error < b.Error; });
    if (best != population.end()) {
        if (std::optional<LinearModel> model = LinearModel::From(*best))
            found.push_back(std::move(*model));
    }
    std::vector<Found> scored;
    for (LinearModel& model : found) {
        const double error = refinement.SquaredError(model);
        scored.push_back({std::move(model), error});
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const Found& a, const Found& b) { return a.Error < b.Error; });
    std::vector<LinearModel> ordered;
    for (Found& f : scored)
        ordered.push_back(std::move(f.Model));
    if (ordered.empty())
        return std::nullopt;
    Refinement::Result refined = refinement.RefineBest(ordered, RefinementStarts);
    if (resolved.Simplify)
        refined = refinement.Simplify(std::move(refined), structurePenalty);
    return Found{std::move(refined.Model), refined.Error};
}

// One more search on its own engine and random source, on the calling thread; a search that
// fails, or is stopped, finds nothing.
std::optional<IdentificationRun::Found>
IdentificationRun::Restart(int k, const Rnd::State& seed, const TGenetico& settings,
                           const std::atomic<bool>& stop) const {
    // The calling thread may be the run's own: its random source is left as the run left it.
    const Rnd::State own = Rnd::GlobalState();
    std::optional<Found> found = Search(k, seed, settings, stop);
    Rnd::GlobalState() = own;
    return found;
}

std::optional<IdentificationRun::Found>
IdentificationRun::Search(int k, const Rnd::State& seed, const TGenetico& settings,
                          const std::atomic<bool>& stop) const {
    TGenetico search;
    CopySettings(settings, search);
    search.ThreadCount = 1;
    HandEstimationRows(search);
    std::vector<LinearModel> candidates;
    search.AppendEvolutionRow = [&](const TGenetico& e) { CollectCandidate(e, candidates); };
    search.ProcessMessages = [&] {
        if (stop)
            search.RequestStop();
    };
    SeedRestart(k, seed);
    try {
        search.Run();
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (stop)
        return std::nullopt;
    return Best(search, std::move(candidates));
}

// The refined best of the run's own search (entry 0) and restarts 1..N-1 (the others), shared
// among threads; each depends on its number alone. This thread meanwhile serves OnResponsive
// and passes a stop asked of the engine on to the restarts, which then find nothing.
std::vector<std::optional<IdentificationRun::Found>> IdentificationRun::FindAll(int restarts) {
    std::vector<std::optional<Found>> found(static_cast<std::size_t>(std::max(restarts, 1)));
    // The window may change the engine's settings while this thread serves it: the workers
    // read a copy taken now.
    TGenetico settings;
    CopySettings(engine, settings);
    // The engine's error is the squared residual sum divided by 10000.
    structurePenalty = resolved.Simplify ? settings.SizeReductionFactor * 10000.0 : 0.0;
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::mutex mutex;
    std::condition_variable finished;
    const auto work = [&] {
        for (std::size_t k = next++; k < found.size(); k = next++) {
            found[k] = k == 0 ? Best(engine, std::move(candidates))
                              : Restart(static_cast<int>(k), seedState, settings, stop);
            const std::lock_guard lock(mutex);
            ++done;
            finished.notify_one();
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned wanted =
        engine.ThreadCount > 0 ? static_cast<unsigned>(engine.ThreadCount) : cores;
    const auto threads = std::min<std::size_t>(wanted, found.size());
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < threads; ++t)
        pool.emplace_back(work);
    std::unique_lock lock(mutex);
    while (
        !finished.wait_for(lock, engine.ResponsiveInterval, [&] { return done == found.size(); })) {
        lock.unlock();
        if (OnResponsive)
            OnResponsive();
        if (engine.StopRequested())
            stop = true;
        lock.lock();
    }
    lock.unlock();
    for (std::thread& thread : pool)
        thread.join();
    candidates.clear();
    return found;
}

double IdentificationRun::Score(const Found& found) const {
    return found.Error + structurePenalty * static_cast<double>(found.Model.ParameterCount());
}

void IdentificationRun::Conclude() {
    const auto found = FindAll(engine.StopRequested() ? 1 : resolved.Restarts);
    std::optional<Found> best = found.front();
    int restart = 0;
    for (std::size_t k = 1; k < found.size(); ++k) {
        if (found[k] && (!best || Score(*found[k]) < Score(*best))) {
            best = found[k];
            restart = static_cast<int>(k);
        }
    }
    if (!best)
        return;
    IdentifiedModel model;
    const std::size_t rows = measured.size();
    model.Computed = best->Model.Simulate(InputColumns(rows), rows);
    offsets.AddToOutput(model.Computed);
    model.Model = std::move(best->Model);
    model.Offsets = offsets;
    model.ValidationBegins = estimationRows;
    model.EstimationFit = FitFigure::Percent(measured, model.Computed, 0, estimationRows);
    if (estimationRows < rows)
        model.ValidationFit = FitFigure::Percent(measured, model.Computed, estimationRows, rows);
    model.EstimationError = best->Error;
    model.Refined = resolved.Refine;
    model.Restart = restart;
    result = std::move(model);
}

void IdentificationRun::WriteComputedOutput(const std::string& path) const {
    if (!result)
        return;
    ReplacementFile file(path, ReplacementFile::Links::Replace, "Cannot create the file " + path,
                         "The file " + path + " could not be written completely");
    std::string text;
    std::array<char, 40> buffer{};
    for (const double value : result->Computed) {
        std::snprintf(buffer.data(), buffer.size(), "%.17g\n", value);
        text += buffer.data();
    }
    file.Write(text);
    file.Commit();
}

} // namespace orvanel
