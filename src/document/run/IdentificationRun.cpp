#include "document/run/IdentificationRun.h"

#include "document/run/HoldOutChoice.h"
#include "document/run/RestartSearches.h"
#include "document/table/TableSamples.h"
#include "engine/estimators/Refinement.h"
#include "engine/search/Genetico.h"
#include "model/RunError.h"
#include "model/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <utility>

namespace orvanel {
namespace {

// Threads for `tasks` searches at once: the engine's thread count, or every core.
std::size_t ThreadsFor(const TGenetico& engine, std::size_t tasks) {
    const int wanted = engine.ThreadCount > 0 ? engine.ThreadCount : WorkerPool::HardwareThreads();
    return std::min<std::size_t>(static_cast<std::size_t>(wanted), tasks);
}

} // namespace

IdentificationRun::IdentificationRun(TGenetico& engine) : engine(engine) {}

std::optional<std::string> IdentificationRun::HandOver(const TableSamples& samples) {
    return HandOver(std::span(&samples, 1), {});
}

std::optional<std::string> IdentificationRun::HandOver(std::span<const TableSamples> experiments,
                                                       std::vector<std::string> experimentNames) {
    engine.RequestStop();
    resolved = Options.Resolved();
    result.Clear();
    candidates.clear();
    polish.reset();
    if (auto refusal = runRows.Take(experiments, std::move(experimentNames), resolved))
        return refusal;
    resolved.ApplySearchSettings(engine, runRows.OutputDeviation());
    RestartSearches::HandRows(EstimationData(), engine);
    engine.SetGenesPerInput(GenesPerInput);
    for (int g = 0; g < GenesPerInput; ++g)
        engine.SetGeneRange(g, -1.0, 1.0);
    if (auto refusal = engine.RunRefusal())
        return refusal;
    return MemoryRefusal();
}

std::optional<std::string> IdentificationRun::ConstantOutputRefusal() const {
    return runRows.ConstantOutputRefusal();
}

// The up-front check of the engine counts one search; restarts run several at once.
std::optional<std::string> IdentificationRun::MemoryRefusal() const {
    if (resolved.Restarts <= 1)
        return std::nullopt;
    // The run's own engine keeps its population while the restarts run beside it.
    const std::uint64_t atOnce =
        1 + std::min<std::size_t>(ThreadsFor(engine, static_cast<std::size_t>(resolved.Restarts)),
                                  static_cast<std::size_t>(resolved.Restarts) - 1);
    if (engine.LeastRunBytes() <= TGenetico::PhysicalMemoryBytes() / atOnce)
        return std::nullopt;
    return "Not enough memory for " + std::to_string(atOnce) +
           " searches at once: lower the Population Size, the number of Data Points, the "
           "restarts or the threads.";
}

void IdentificationRun::BeginReport(const std::string& path, ReportSeparators separators) {
    report = RunReport(std::move(separators));
    reportBegun = false;
    progress.Begin();
    result.KeepSearchModel(nullptr);
    report.BeginReport(path, engine);
    reportBegun = true;
}

std::string IdentificationRun::Run() {
    std::string failure;
    try {
        RunEngine();
        Conclude();
    } catch (const std::exception& error) {
        progress.Concluding = false;
        failure = RunReport::FailureText(error);
        if (!HasModel() && RunError::IsAllEqual(error))
            failure += runRows.OverflowCause();
        ConcludeWithSearchBest();
    }
    return Finish(std::move(failure));
}

// A run that failed after its search completed a generation still has that generation's best
// model: the report ends with it, as any other run's, and the caller may show it.
std::string IdentificationRun::Finish(std::string failure) {
    try {
        report.EndReport(KeptSearchModel(), HasModel() ? std::string_view() : failure,
                         Ending(!failure.empty()));
    } catch (const std::exception& error) {
        if (failure.empty())
            return error.what();
    }
    return failure;
}

// What follows the objective line: the quality section of a run with options, and where a
// stopped run ended.
std::string IdentificationRun::Ending(bool failed) const {
    std::vector<std::string> parts;
    if (!failed && Result() &&
        (resolved.AnyOptIn() || !OtherData.empty() || !Result()->PerExperiment.empty()))
        parts.push_back(report.QualityText(*Result(), resolved, Summaries(SampleTime)));
    std::string data;
    if (FilledCells > 0)
        data += "\r\nCells filled by linear interpolation: " + std::to_string(FilledCells);
    if (DataEdited)
        data += "\r\nThe table was edited and not saved: the run used its " +
                std::to_string(Rows()) + " rows, not the data file's.";
    if (!data.empty())
        parts.push_back("DATA" + data);
    std::string stop;
    for (const std::string& line : StopLines())
        stop += (stop.empty() ? "" : "\r\n") + line;
    if (!stop.empty())
        parts.push_back(std::move(stop));
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "\r\n\r\n\r\n") + part;
    return text;
}

const TMISOFunTrans& IdentificationRun::KeptSearchModel() const {
    return result.SearchModel() ? *result.SearchModel() : engine.BestModel();
}

std::vector<std::string> IdentificationRun::StopLines() const {
    return progress.StopLines(engine.Generations, resolved.Restarts, KeptSearch());
}

void IdentificationRun::NoteSearchStop() {
    if (engine.Evolving() && engine.StopRequested())
        progress.NoteStop(StopPhase::Search);
}

// The hooks hold this run's callbacks only while it runs, so a later run or a destroyed owner
// is never called back.
void IdentificationRun::RunEngine() {
    engine.AppendEvolutionRow = [this](const TGenetico& e) {
        report.AppendEvolutionRow(e);
        progress.LastGeneration = e.Generation();
        SearchPolish::CollectCandidate(e, resolved, candidates);
        if (OnRow)
            OnRow(e);
    };
    // The engine forgets a stop once it has ended its loop: the run notes it as it is asked.
    // Before the loop the engine drops stops (the hand-over's own among them).
    engine.ProcessMessages = [this] {
        if (OnProgress)
            OnProgress();
        NoteSearchStop();
    };
    engine.KeepResponsive = [this] {
        if (OnResponsive)
            OnResponsive();
        NoteSearchStop();
    };
    const auto clearHooks = [this] {
        engine.AppendEvolutionRow = nullptr;
        engine.ProcessMessages = nullptr;
        engine.KeepResponsive = nullptr;
    };
    try {
        if (BeforeRun)
            BeforeRun();
        seedState = Rnd::GlobalState();
        // The run's own search belongs to slice 0; the others only derive their seeds from
        // the run's, and forget the hand-over's stop as the engine would.
        if (Slice.Index != 0) {
            engine.DropStop();
            clearHooks();
            return;
        }
        engine.Run();
    } catch (...) {
        clearHooks();
        throw;
    }
    clearHooks();
}

// The refined best of the run's own search (entry 0) and restarts 1..N-1 (the others), shared
// among threads; each depends on its number alone. This thread meanwhile serves OnResponsive
// and passes a stop asked of the engine on to the restarts, which then find nothing.
// A thorough run that was not stopped adds the models from established estimators' starts
// after the searches, and then one whose inputs share their poles.
std::vector<std::optional<IdentificationRun::Found>> IdentificationRun::FindAll(int restarts) {
    const auto searches = static_cast<std::size_t>(std::max(restarts, 1));
    // A slice leaves the estimators to the merge: they draw nothing, so it computes them alike.
    const std::size_t estimators =
        resolved.Thorough && Stopped() == StopPhase::None && Slice.Count <= 1
            ? SearchPolish::EstimatorStarts
            : 0;
    std::vector<std::optional<Found>> found(searches + estimators);
    // The window may change the engine's settings while this thread serves it: the workers
    // read a copy taken now.
    const RestartSearches others(engine, seedState);
    polish.emplace(EstimationData(), resolved, PenaltyOf(others.Settings()), progress.Simplifying);
    std::atomic<bool> stop{Stopped() != StopPhase::None};
    const std::vector<std::size_t> mine = RestartSearches::SliceIndices(Slice, found.size());
    std::vector<std::exception_ptr> failures(found.size());
    RunServing(mine.size(), stop, PhaseAfterSearch(), [&](std::size_t i) {
        const std::size_t k = mine[i];
        try {
            if (k == 0) {
                found[k] = polish->Best(engine, std::move(candidates), stop);
                if (found[k])
                    found[k]->Searched = SearchPolish::SearchBestOf(engine);
            } else if (k >= searches) {
                found[k] = polish->FromEstimator(k - searches, stop);
            } else {
                found[k] = others.Restart(static_cast<int>(k), *polish, stop);
            }
        } catch (...) {
            failures[k] = std::current_exception();
        }
        // The estimators' starts are short and run beside the restarts the gauge counts.
        if (k < searches)
            ++progress.SearchesDone;
    });
    candidates.clear();
    RestartSearches::RethrowFirst(failures);
    if (estimators > 0) {
        // The shared-pole start begins from the searches' best, so it follows them.
        std::optional<Found> shared;
        RunServing(1, stop, PhaseAfterSearch(), [&](std::size_t) {
            try {
                shared = polish->SharedFromSearches(found, searches, stop);
            } catch (...) {
                failures.front() = std::current_exception();
            }
        });
        RestartSearches::RethrowFirst(failures);
        found.push_back(std::move(shared));
    }
    return found;
}

// Runs task(0) .. task(count - 1) on threads of their own (as many as the engine's setting
// allows) while this thread serves OnResponsive; a stop asked of the engine meanwhile sets
// `stop`, which the tasks watch, and is noted as one in `phase`. Tasks must not throw.
void IdentificationRun::RunServing(std::size_t count, std::atomic<bool>& stop, StopPhase phase,
                                   const std::function<void(std::size_t)>& task) {
    const auto passOnStop = [&] {
        if (engine.StopRequested()) {
            stop = true;
            progress.NoteStop(phase);
        }
    };
    // A stop asked before the work began counts as well.
    passOnStop();
    const auto serve = [&] {
        if (OnResponsive)
            OnResponsive();
        passOnStop();
    };
    WorkerPool::ForEachServing(count, ThreadsFor(engine, count), task, serve,
                               engine.ResponsiveInterval);
}

IdentificationRun::StopPhase IdentificationRun::PhaseAfterSearch() const {
    return resolved.Restarts > 1 ? StopPhase::Restarts : StopPhase::Refinement;
}

void IdentificationRun::Conclude() {
    if (engine.StopRequested() && (resolved.Refine || resolved.Restarts > 1))
        progress.NoteStop(PhaseAfterSearch());
    progress.Concluding = resolved.Refine || resolved.Restarts > 1;
    const auto found = FindAll(Stopped() != StopPhase::None ? 1 : resolved.Restarts);
    progress.Concluding = false;
    // Every search of the slice, those a stop left unrun without a model.
    if (Slice.Count > 1) {
        sliceSearches = RestartSearches::Finished(
            RestartSearches::SliceIndices(Slice,
                                          static_cast<std::size_t>(std::max(resolved.Restarts, 1))),
            found, seedState, *polish);
        return;
    }
    const std::size_t searches =
        std::min(found.size(), static_cast<std::size_t>(std::max(resolved.Restarts, 1)));
    progress.CompletedSearches = RestartSearches::Completed(found, searches);
    KeepChosen(found, searches);
}

// With a thorough run that was not stopped, the model the hold-out chooses; otherwise that of
// the lowest score among the searches.
void IdentificationRun::KeepChosen(const std::vector<std::optional<Found>>& found,
                                   std::size_t searches) {
    if (resolved.Thorough && Stopped() == StopPhase::None) {
        if (auto chosen = ChosenByHoldOut(found, searches)) {
            result.Keep(std::move(chosen->first), chosen->second, resolved.Refine,
                        progress.CompletedSearches);
            return;
        }
        // Nothing was found, or a stop cut the choice short: the searches' scores decide.
    }
    if (const std::optional<std::size_t> kept = polish->LowestScore(found, searches))
        result.Keep(*found[*kept], static_cast<int>(*kept), resolved.Refine,
                    progress.CompletedSearches);
}

double IdentificationRun::PenaltyOf(const TGenetico& settings) const {
    return resolved.Simplify ? settings.SizeReductionFactor * TMISOFunTrans::ErrorScale : 0.0;
}

std::optional<std::string>
IdentificationRun::ForeignModel(const std::vector<FinishedSearch>& searches) const {
    return RestartSearches::ForeignModel(searches, SearchPolish::RefinementOn(EstimationData()));
}

std::string IdentificationRun::RunMerged(const std::vector<FinishedSearch>& searches,
                                         std::string_view evolutionRows, int finalGeneration,
                                         bool stopped) {
    std::string failure;
    // HandOver asked the engine, which does not run here, to stop; only a stop asked from now
    // on ends the merge early.
    engine.DropStop();
    if (stopped)
        progress.NoteStop(finalGeneration < engine.Generations ? StopPhase::Search
                                                               : PhaseAfterSearch());
    try {
        report.AppendEvolutionRows(evolutionRows);
        progress.LastGeneration = finalGeneration;
        std::vector<std::optional<Found>> found = RestartSearches::FoundOf(searches);
        progress.CompletedSearches = RestartSearches::Completed(found, found.size());
        polish.emplace(EstimationData(), resolved, PenaltyOf(engine), progress.Simplifying);
        const std::size_t count = found.size();
        if (resolved.Thorough && !stopped) {
            const std::atomic<bool> stop{false};
            for (std::size_t e = 0; e < SearchPolish::EstimatorStarts; ++e)
                found.push_back(polish->FromEstimator(e, stop));
            found.push_back(polish->SharedFromSearches(found, count, stop));
        }
        KeepChosen(std::move(found), count);
        // A model from an estimator's start has no search of its own: the report shows the
        // run's own search, which in one process the engine holds and here slice 0 brought.
        if (!result.SearchModel() && !searches.empty() && searches.front().Index == 0)
            result.KeepSearchModel(searches.front().Searched);
    } catch (const std::exception& error) {
        failure = RunReport::FailureText(error);
    }
    return Finish(std::move(failure));
}

// The candidates are judged on threads of their own while this thread serves the window; the
// lowest held-out score wins. Nothing when nothing was found or a stop cut the choice short.
// The pair's second is the search the model came from.
std::optional<std::pair<IdentificationRun::Found, int>>
IdentificationRun::ChosenByHoldOut(const std::vector<std::optional<Found>>& found,
                                   std::size_t searches) {
    std::atomic<bool> stop{false};
    HoldOutChoice choice(EstimationData(), *polish, found, searches, stop);
    return choice.Choose([&](std::size_t count, const std::function<void(std::size_t)>& task) {
        progress.Choosing = true;
        RunServing(count, stop, StopPhase::HoldOut, task);
        progress.Choosing = false;
    });
}

// The search's best model of the last completed generation, as it is.
void IdentificationRun::ConcludeWithSearchBest() {
    if (!Result() && HasModel())
        result.KeepSearchBest(engine, progress.CompletedSearches);
}

const std::vector<InputSummary>&
IdentificationRun::Summaries(std::optional<double> sampleTime) const {
    return result.Summaries(sampleTime);
}

void IdentificationRun::WriteComputedOutput(const std::string& path, std::size_t part) const {
    result.WriteComputedOutput(path, part);
}

void IdentificationRun::WriteExperimentOutput(const std::string& path, std::size_t k) const {
    result.WriteExperimentOutput(path, k);
}

void IdentificationRun::WriteValues(const std::string& path, std::span<const double> values) {
    RunResult::WriteValues(path, values);
}

std::optional<std::string> IdentificationRun::AddOtherData(std::string name,
                                                           const TableSamples& samples) {
    const auto inputs = static_cast<std::size_t>(samples.Inputs());
    if (runRows.Width() > 0 && inputs + 1 != runRows.Width())
        return "The validation data " + name + " have " + std::to_string(inputs) +
               (inputs == 1 ? " input" : " inputs") + "; the model has " +
               std::to_string(runRows.Width() - 1);
    ValidationData data{
        std::move(name),
        std::vector<std::vector<double>>(
            inputs + 1, std::vector<double>(static_cast<std::size_t>(samples.Samples())))};
    for (int r = 0; r < samples.Samples(); ++r) {
        const std::span<const double> row = samples.Row(r);
        for (std::size_t c = 0; c <= inputs; ++c)
            data.Columns[c][static_cast<std::size_t>(r)] = row[c];
    }
    OtherData.push_back(std::move(data));
    return std::nullopt;
}

} // namespace orvanel
