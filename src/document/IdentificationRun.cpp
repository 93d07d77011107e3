#include "document/IdentificationRun.h"

#include "document/ReplacementFile.h"
#include "document/TableSamples.h"
#include "engine/ArxEstimate.h"
#include "engine/FitFigure.h"
#include "engine/Genetico.h"
#include "engine/Refinement.h"
#include "engine/RunError.h"
#include "engine/RunParameters.h"
#include "engine/StructureSearch.h"
#include "engine/SubspaceEstimate.h"
#include "engine/WorkerPool.h"
#include "model/NumberText.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <limits>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>

namespace orvanel {
namespace {

// Distinct structures refined after each search.
constexpr std::size_t RefinementStarts = 8;
// Starts from established estimators beside the searches of a thorough run.
constexpr std::size_t EstimatorStarts = 2;
// A thorough run chooses among this many of its best distinct structures by a hold-out.
constexpr std::size_t HoldOutCandidates = 3;
// The share of the estimation rows each of them is refitted on; the rest judges them.
constexpr double HoldOutFitShare = 0.7;
// A held-out part, and what is left for the estimation, judge nothing below this many rows.
constexpr int LeastPartRows = 10;
// An input this large makes the output of any model the search draws overflow its error.
constexpr double LargeInputValue = 1e100;
constexpr std::string_view AllEqualFailure = "Todos Iguales";

std::string RowsText(long long rows) {
    return std::to_string(rows) + (rows == 1 ? " row" : " rows");
}

std::string PercentText(double percent) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%g", percent);
    return buffer.data();
}

int NeededRows(int inputs) {
    return inputs * IdentificationRun::GenesPerInput + 1;
}

// A model with as many coefficients as samples fits any data: the data must have more rows
// than the genes that shape a model of their inputs.
std::optional<std::string> GenesRefusal(int rows, int inputs) {
    const int needed = NeededRows(inputs);
    if (rows >= needed)
        return std::nullopt;
    return "The data have " + RowsText(rows) + "; a model of " + std::to_string(inputs) +
           (inputs == 1 ? " input" : " inputs") + " needs at least " + std::to_string(needed) +
           " (one more than its " + std::to_string(needed - 1) + " genes).";
}

// With a validation part, each part must have rows enough to tell anything.
std::optional<std::string> PartsRefusal(int rows, int leastEstimation,
                                        const IdentificationOptions& options) {
    if (options.ValidationPercent <= 0.0)
        return std::nullopt;
    const int validation = options.ValidationRows(rows);
    const int estimation = rows - validation;
    if (validation >= LeastPartRows && estimation >= leastEstimation)
        return std::nullopt;
    return "A validation part of " + PercentText(options.ValidationPercent) + " % leaves " +
           RowsText(validation) + " of " + std::to_string(rows) + " for validation and " +
           RowsText(estimation) + " for estimation; the validation part needs at least " +
           std::to_string(LeastPartRows) + " and the estimation part at least " +
           std::to_string(leastEstimation) + ".";
}

std::optional<std::string> RowsRefusal(int rows, int inputs, const IdentificationOptions& options) {
    if (auto refusal = GenesRefusal(rows, inputs))
        return refusal;
    return PartsRefusal(rows, std::max(LeastPartRows, NeededRows(inputs)), options);
}

// Residuals and deviations of several parts, each around its own mean, for one fit over all.
struct PooledFit {
    double Residuals = 0.0;
    double Deviations = 0.0;

    void Add(std::span<const double> measured, std::span<const double> computed) {
        const std::size_t rows = measured.size();
        const double mean = rows > 0 ? std::accumulate(measured.begin(), measured.end(), 0.0) /
                                           static_cast<double>(rows)
                                     : 0.0;
        for (std::size_t r = 0; r < rows; ++r) {
            const double residual = measured[r] - computed[r];
            Residuals += residual * residual;
            Deviations += (measured[r] - mean) * (measured[r] - mean);
        }
    }
    double Percent() const {
        return Deviations > 0.0 ? 100.0 * (1.0 - std::sqrt(Residuals / Deviations))
                                : std::numeric_limits<double>::quiet_NaN();
    }
};

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

// The k-th draw of the run's own sequence, drawn by this thread's random source.
double RestartDraw(int k, const Rnd::State& seed) {
    Rnd::GlobalState() = seed;
    double draw = 0.0;
    for (int j = 0; j < k; ++j)
        draw = Rnd::RandomReal();
    return draw;
}

std::uint32_t RestartSystemSeed(int k, const Rnd::State& seed) {
    return seed.SystemSeed + static_cast<std::uint32_t>(k) * 2654435761u;
}

// Restart k's random source: seeded with the k-th draw of the run's own sequence, so that
// every restart follows from the run's seed alone.
void SeedRestart(int k, const Rnd::State& seed) {
    Rnd::SeedRandom(RestartDraw(k, seed));
    Rnd::GlobalState().SystemSeed = RestartSystemSeed(k, seed);
}

std::shared_ptr<const TMISOFunTrans> SearchBestOf(const TGenetico& search) {
    auto best = std::make_shared<TMISOFunTrans>();
    best->Assign(search.BestModel());
    return best;
}

// Threads for `tasks` searches at once: the engine's thread count, or every core.
std::size_t ThreadsFor(const TGenetico& engine, std::size_t tasks) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned wanted =
        engine.ThreadCount > 0 ? static_cast<unsigned>(engine.ThreadCount) : cores;
    return std::min<std::size_t>(wanted, tasks);
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

// Up to `wanted` threads running `work`; fewer when the system refuses more, since the tasks
// depend on their numbers alone. Throws RunError when it refuses the first.
std::vector<std::thread> StartThreads(std::size_t wanted, const std::function<void()>& work) {
    std::vector<std::thread> pool;
    try {
        while (pool.size() < wanted)
            pool.emplace_back(work);
    } catch (const std::system_error& error) {
        if (pool.empty())
            throw RunError(WorkerPool::StartFailure(0, static_cast<int>(wanted), error));
    }
    return pool;
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
    result.reset();
    summaries.reset();
    candidates.clear();
    names.clear();
    for (std::size_t k = 0; experiments.size() > 1 && k < experiments.size(); ++k)
        names.push_back(k < experimentNames.size() ? std::move(experimentNames[k])
                                                   : "experiment " + std::to_string(k + 1));
    const int inputs = experiments.empty() ? 0 : experiments.front().Inputs();
    if (!names.empty()) {
        if (auto refusal = ExperimentRowsRefusal(experiments, inputs))
            return refusal;
    }
    TakeExperiments(experiments);
    const auto rows = measured.size();
    if (names.empty()) {
        if (auto refusal = RowsRefusal(static_cast<int>(rows), inputs, resolved))
            return refusal;
    }
    if (names.empty()) {
        estimationRows =
            rows - static_cast<std::size_t>(resolved.ValidationRows(static_cast<int>(rows)));
        offsets = resolved.RemoveOffsets ? ColumnOffsets::Measure(columns, estimationRows)
                                         : ColumnOffsets();
        offsets.Remove(columns);
    } else {
        SeparateExperiments();
    }
    double deviation = 0.0;
    for (const Experiments::Part& part : estimationParts.Parts(estimationRows))
        deviation =
            deviation +
            SquaredDeviation(
                EstimationColumn(columns.size() - 1).subspan(part.Begin, part.End - part.Begin));
    resolved.ApplySearchSettings(engine, deviation);
    HandEstimationRows(engine);
    engine.SetGenesPerInput(GenesPerInput);
    for (int g = 0; g < GenesPerInput; ++g)
        engine.SetGeneRange(g, -1.0, 1.0);
    if (auto refusal = engine.RunRefusal())
        return refusal;
    return MemoryRefusal();
}

// Every experiment's columns laid end to end, as measured; each one's validation part.
void IdentificationRun::TakeExperiments(std::span<const TableSamples> experiments) {
    const auto width =
        static_cast<std::size_t>(experiments.empty() ? 0 : experiments.front().Inputs()) + 1;
    std::size_t rows = 0;
    for (const TableSamples& samples : experiments)
        rows += static_cast<std::size_t>(samples.Samples());
    columns.assign(width, std::vector<double>(rows));
    std::vector<std::size_t> starts;
    validationBegins.clear();
    std::size_t next = 0;
    for (const TableSamples& samples : experiments) {
        starts.push_back(next);
        for (int r = 0; r < samples.Samples(); ++r, ++next) {
            const std::span<const double> row = samples.Row(r);
            for (std::size_t c = 0; c < width && c < row.size(); ++c)
                columns[c][next] = row[c];
        }
        validationBegins.push_back(
            next - static_cast<std::size_t>(resolved.ValidationRows(samples.Samples())));
    }
    measured = columns.back();
    allParts = names.empty() ? Experiments() : Experiments(starts);
    estimationParts = Experiments();
    estimationColumns.clear();
    experimentOffsets.clear();
}

// Each experiment must have the run's inputs and, with a validation part, rows enough in
// both parts; together their estimation rows must outnumber the genes.
std::optional<std::string>
IdentificationRun::ExperimentRowsRefusal(std::span<const TableSamples> experiments,
                                         int inputs) const {
    int estimation = 0;
    for (std::size_t k = 0; k < experiments.size(); ++k) {
        const std::string name = "Experiment " + std::to_string(k + 1) + " (" + names[k] + ")";
        if (experiments[k].Inputs() != inputs)
            return name + " has " + std::to_string(experiments[k].Inputs()) +
                   " inputs; experiment 1 has " + std::to_string(inputs) + ".";
        const int rows = experiments[k].Samples();
        if (rows == 0)
            return name + " has no rows.";
        if (auto refusal = PartsRefusal(rows, LeastPartRows, resolved))
            return name + ": " + *refusal;
        estimation += rows - resolved.ValidationRows(rows);
    }
    return GenesRefusal(estimation, inputs);
}

// Each experiment around its own means over its estimation rows, and those rows of every
// experiment gathered; the run's offsets are the means over all of them.
void IdentificationRun::SeparateExperiments() {
    const std::vector<Experiments::Part> parts = allParts.Parts(measured.size());
    estimationColumns.assign(columns.size(), {});
    std::vector<std::size_t> estimationStarts;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const auto begin = static_cast<std::ptrdiff_t>(parts[k].Begin);
        const auto kept = static_cast<std::ptrdiff_t>(validationBegins[k] - parts[k].Begin);
        std::vector<std::vector<double>> own;
        for (const std::vector<double>& column : columns)
            own.emplace_back(column.begin() + begin,
                             column.begin() + static_cast<std::ptrdiff_t>(parts[k].End));
        estimationStarts.push_back(estimationColumns.front().size());
        for (std::size_t c = 0; c < columns.size(); ++c)
            estimationColumns[c].insert(estimationColumns[c].end(), own[c].begin(),
                                        own[c].begin() + kept);
        experimentOffsets.push_back(
            resolved.RemoveOffsets ? ColumnOffsets::Measure(own, static_cast<std::size_t>(kept))
                                   : ColumnOffsets());
        experimentOffsets.back().Remove(own);
        for (std::size_t c = 0; c < columns.size(); ++c)
            std::copy(own[c].begin(), own[c].end(), columns[c].begin() + begin);
    }
    estimationRows = estimationColumns.front().size();
    offsets = resolved.RemoveOffsets ? ColumnOffsets::Measure(estimationColumns, estimationRows)
                                     : ColumnOffsets();
    for (std::size_t k = 0; k < parts.size(); ++k) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            std::copy(columns[c].begin() + static_cast<std::ptrdiff_t>(parts[k].Begin),
                      columns[c].begin() + static_cast<std::ptrdiff_t>(validationBegins[k]),
                      estimationColumns[c].begin() +
                          static_cast<std::ptrdiff_t>(estimationStarts[k]));
    }
    estimationParts = Experiments(estimationStarts);
}

std::optional<std::string> IdentificationRun::ConstantOutputRefusal() const {
    const std::vector<Experiments::Part> parts = allParts.Parts(measured.size());
    std::optional<double> first;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        for (std::size_t r = parts[k].Begin; r < validationBegins[k]; ++r) {
            if (!first)
                first = measured[r];
            else if (measured[r] != *first)
                return std::nullopt;
        }
    }
    if (!first)
        return std::nullopt;
    return "The output is " + FormatGeneral(*first, 15) + " in every " +
           (resolved.ValidationPercent > 0.0 ? "estimation row" : "row") +
           ": a model has no variation to fit.";
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
    lastGeneration = -1;
    concluding = false;
    searchesDone = 0;
    simplifying = false;
    completedSearches = 0;
    stoppedIn = StopPhase::None;
    keptSearchModel.reset();
    report.BeginReport(path, engine);
    reportBegun = true;
}

std::string IdentificationRun::Run() {
    std::string failure;
    try {
        RunEngine();
        Conclude();
    } catch (const std::exception& error) {
        concluding = false;
        failure = error.what();
        if (!HasModel() && failure == AllEqualFailure)
            failure += OverflowCause();
        ConcludeWithSearchBest();
    }
    return Finish(std::move(failure));
}

// When no model of the first population could be scored because of the data: values so large
// that every model's squared error leaves the range the engine scores. Names the largest value
// to blame, as the search saw it (offsets removed).
std::string IdentificationRun::OverflowCause() const {
    if (columns.empty())
        return {};
    // The engine divides each residual by 100 and fails a model whose error passes
    // DivergedError: an output that gets there on its own fails every model.
    double outputError = 0.0;
    for (const double y : columns.back())
        outputError = outputError + (y / 100.0) * (y / 100.0);
    const bool outputOverflows = !(outputError < TMISOFunTrans::DivergedError);
    const std::size_t first = outputOverflows ? columns.size() - 1 : 0;
    const std::size_t end = outputOverflows ? columns.size() : columns.size() - 1;
    std::size_t column = first;
    std::size_t row = 0;
    for (std::size_t c = first; c < end; ++c) {
        for (std::size_t r = 0; r < columns[c].size(); ++r) {
            if (std::fabs(columns[c][r]) > std::fabs(columns[column][row])) {
                column = c;
                row = r;
            }
        }
    }
    const double value = end > first && row < columns[column].size() ? columns[column][row] : 0.0;
    if (!outputOverflows && !(std::fabs(value) >= LargeInputValue))
        return {};
    return "; the value " + FormatGeneral(value, 5) + " in row " + std::to_string(row + 1) +
           ", column " + std::to_string(column + 1) +
           " is too large: the squared errors overflow. Scale the data down.";
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
    return failure.empty() ? failure : RunReport::FailureText(failure);
}

// What follows the objective line: the quality section of a run with options, and where a
// stopped run ended.
std::string IdentificationRun::Ending(bool failed) const {
    std::vector<std::string> parts;
    if (!failed && result &&
        (resolved.AnyOptIn() || !OtherData.empty() || !result->PerExperiment.empty()))
        parts.push_back(report.QualityText(*result, resolved, Summaries(SampleTime)));
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
    return keptSearchModel ? *keptSearchModel : engine.BestModel();
}

std::vector<std::string> IdentificationRun::StopLines() const {
    const std::string generations = std::to_string(engine.Generations);
    switch (stoppedIn) {
    case StopPhase::None:
        return {};
    case StopPhase::Search:
        if (!HasModel())
            return {"RUN STOPPED", "Stopped before the first generation was complete."};
        return {"RUN STOPPED", "Stopped at generation " + std::to_string(lastGeneration) +
                                   " of " + generations + "."};
    case StopPhase::Restarts:
        return {"RUN STOPPED", "Stopped during the restarts: " + std::to_string(completedSearches) +
                                   " of " + std::to_string(resolved.Restarts) +
                                   " searches completed, the model of search " +
                                   std::to_string(KeptSearch()) + " kept."};
    case StopPhase::HoldOut:
        return {"RUN STOPPED", "Stopped while choosing the model on held-out rows: the model of "
                               "search " +
                                   std::to_string(KeptSearch()) + ", the best by its score, kept."};
    case StopPhase::Refinement:
        break;
    }
    return {"RUN STOPPED", "Stopped during the refinement: the model is the best found before "
                           "the stop."};
}

IdentificationRun::PhaseProgress IdentificationRun::Progress() const {
    if (choosing)
        return {"Choosing the model on held-out rows", 0, 0};
    if (!concluding)
        return {};
    if (resolved.Restarts > 1 && Slice.Count > 1)
        return SliceProgress();
    if (resolved.Restarts > 1) {
        const int done = std::min<int>(searchesDone, resolved.Restarts);
        return {"Restart " + std::to_string(std::min(done + 1, resolved.Restarts)) + " of " +
                    std::to_string(resolved.Restarts),
                done, resolved.Restarts};
    }
    return {simplifying ? "Simplifying the model" : "Refining the model", 0, 0};
}

// A slice's searches by their own numbers, as its part names them: "Search 5 of 16 (slice 1
// of 4: 2 of 4)".
IdentificationRun::PhaseProgress IdentificationRun::SliceProgress() const {
    const std::vector<std::size_t> mine = SliceIndices(static_cast<std::size_t>(resolved.Restarts));
    if (mine.empty())
        return {};
    const int count = static_cast<int>(mine.size());
    const int done = std::min<int>(searchesDone, count);
    const std::size_t running = mine[static_cast<std::size_t>(std::min(done, count - 1))];
    return {"Search " + std::to_string(running) + " of " + std::to_string(resolved.Restarts) +
                " (slice " + std::to_string(Slice.Index) + " of " + std::to_string(Slice.Count) +
                ": " + std::to_string(std::min(done + 1, count)) + " of " + std::to_string(count) +
                ")",
            done, count};
}

void IdentificationRun::NoteSearchStop() {
    if (engine.Evolving() && engine.StopRequested())
        NoteStop(StopPhase::Search);
}

void IdentificationRun::NoteStop(StopPhase phase) {
    if (stoppedIn == StopPhase::None)
        stoppedIn = phase;
}

// The hooks hold this run's callbacks only while it runs, so a later run or a destroyed owner
// is never called back.
void IdentificationRun::RunEngine() {
    engine.AppendEvolutionRow = [this](const TGenetico& e) {
        report.AppendEvolutionRow(e);
        lastGeneration = e.Generation();
        CollectCandidate(e, candidates);
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

void IdentificationRun::HandEstimationRows(TGenetico& target) const {
    const int inputs = static_cast<int>(columns.size()) - 1;
    target.SetDataSize(inputs, static_cast<int>(estimationRows));
    std::vector<double> row(columns.size());
    std::vector<std::span<const double>> estimation;
    for (std::size_t c = 0; c < columns.size(); ++c)
        estimation.push_back(EstimationColumn(c));
    for (std::size_t r = 0; r < estimationRows; ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c)
            row[c] = estimation[c][r];
        target.SetDataRow(row, static_cast<int>(r) + 1);
    }
    target.SetExperiments(estimationParts);
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

ModelSummary::Data IdentificationRun::EstimationData() const {
    if (columns.empty())
        return {};
    return {EstimationInputs(), EstimationColumn(columns.size() - 1), estimationRows,
            estimationParts};
}

// The first estimationRows rows of column c, or with several experiments the estimation rows
// of each.
std::span<const double> IdentificationRun::EstimationColumn(std::size_t c) const {
    if (estimationColumns.empty())
        return std::span<const double>(columns[c]).first(estimationRows);
    return estimationColumns[c];
}

std::vector<std::span<const double>> IdentificationRun::EstimationInputs() const {
    std::vector<std::span<const double>> inputs;
    for (std::size_t c = 0; c + 1 < columns.size(); ++c)
        inputs.push_back(EstimationColumn(c));
    return inputs;
}

Refinement IdentificationRun::EstimationRefinement() const {
    return Refinement(EstimationInputs(), EstimationColumn(columns.size() - 1), estimationRows,
                      estimationParts);
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
IdentificationRun::Best(const TGenetico& search, std::vector<LinearModel> found,
                        const std::atomic<bool>& stop) const {
    Refinement refinement = EstimationRefinement();
    refinement.Stop = &stop;
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
    LinearModel start = ordered[std::min(refined.Start, ordered.size() - 1)];
    if (resolved.Simplify) {
        simplifying = true;
        refined = refinement.Simplify(std::move(refined), structurePenalty);
    }
    if (resolved.Thorough)
        refined = Grown(std::move(refined), stop);
    Found kept{std::move(refined.Model), refined.Error};
    kept.Stopped = refined.Stopped;
    kept.Start = std::move(start);
    return kept;
}

// One more search on its own engine and random source, on the calling thread; a search that
// fails, or is stopped, finds nothing.
std::optional<IdentificationRun::Found>
IdentificationRun::Restart(int k, const Rnd::State& seed, const TGenetico& settings,
                           const std::atomic<bool>& stop) const {
    // The calling thread may be the run's own: its random source is left as the run left it.
    const Rnd::State own = Rnd::GlobalState();
    std::optional<Found> found;
    try {
        found = Search(k, seed, settings, stop);
    } catch (...) {
        Rnd::GlobalState() = own;
        throw;
    }
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
        // Stopped before its first generation: nothing found, which is no failure.
        if (!stop)
            throw;
    }
    if (stop)
        return std::nullopt;
    std::optional<Found> found = Best(search, std::move(candidates), stop);
    // A restart whose refinement a stop cut short is left out like one stopped in its search.
    if (stop)
        return std::nullopt;
    if (found)
        found->Searched = SearchBestOf(search);
    return found;
}

// The refined best of the run's own search (entry 0) and restarts 1..N-1 (the others), shared
// among threads; each depends on its number alone. This thread meanwhile serves OnResponsive
// and passes a stop asked of the engine on to the restarts, which then find nothing.
// A thorough run that was not stopped adds the models from established estimators' starts
// after the searches.
std::vector<std::optional<IdentificationRun::Found>> IdentificationRun::FindAll(int restarts) {
    const auto searches = static_cast<std::size_t>(std::max(restarts, 1));
    // A slice leaves the estimators to the merge: they draw nothing, so it computes them alike.
    const std::size_t estimators =
        resolved.Thorough && stoppedIn == StopPhase::None && Slice.Count <= 1 ? EstimatorStarts
                                                                              : 0;
    std::vector<std::optional<Found>> found(searches + estimators);
    // The window may change the engine's settings while this thread serves it: the workers
    // read a copy taken now.
    TGenetico settings;
    CopySettings(engine, settings);
    structurePenalty = PenaltyOf(settings);
    estimates = {};
    std::atomic<bool> stop{stoppedIn != StopPhase::None};
    const std::vector<std::size_t> mine = SliceIndices(found.size());
    std::vector<std::exception_ptr> failures(found.size());
    RunServing(mine.size(), stop, PhaseAfterSearch(), [&](std::size_t i) {
        const std::size_t k = mine[i];
        try {
            if (k == 0) {
                found[k] = Best(engine, std::move(candidates), stop);
                if (found[k])
                    found[k]->Searched = SearchBestOf(engine);
            } else if (k >= searches) {
                found[k] = FromEstimator(k - searches, stop);
            } else {
                found[k] = Restart(static_cast<int>(k), seedState, settings, stop);
            }
        } catch (...) {
            failures[k] = std::current_exception();
        }
        // The estimators' starts are short and run beside the restarts the gauge counts.
        if (k < searches)
            ++searchesDone;
    });
    candidates.clear();
    RethrowFirst(failures);
    return found;
}

// Runs task(0) .. task(count - 1) on threads of their own (as many as the engine's setting
// allows) while this thread serves OnResponsive; a stop asked of the engine meanwhile sets
// `stop`, which the tasks watch, and is noted as one in `phase`. Tasks must not throw.
void IdentificationRun::RunServing(std::size_t count, std::atomic<bool>& stop, StopPhase phase,
                                   const std::function<void(std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::mutex mutex;
    std::condition_variable finished;
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            task(i);
            const std::lock_guard lock(mutex);
            ++done;
            finished.notify_one();
        }
    };
    const auto passOnStop = [&] {
        if (engine.StopRequested()) {
            stop = true;
            NoteStop(phase);
        }
    };
    // A stop asked before the work began counts as well.
    passOnStop();
    std::vector<std::thread> pool = StartThreads(ThreadsFor(engine, count), work);
    std::unique_lock lock(mutex);
    while (!finished.wait_for(lock, engine.ResponsiveInterval, [&] { return done == count; })) {
        lock.unlock();
        if (OnResponsive)
            OnResponsive();
        passOnStop();
        lock.lock();
    }
    lock.unlock();
    for (std::thread& thread : pool)
        thread.join();
}

// A search that failed (out of memory, say) is the run's error, not a model silently left out.
void IdentificationRun::RethrowFirst(const std::vector<std::exception_ptr>& failures) const {
    for (std::size_t k = 0; k < failures.size(); ++k) {
        if (!failures[k])
            continue;
        if (k == 0)
            std::rethrow_exception(failures[k]);
        try {
            std::rethrow_exception(failures[k]);
        } catch (const std::exception& error) {
            throw std::runtime_error("Search " + std::to_string(k + 1) + " of " +
                                     std::to_string(failures.size()) +
                                     " failed: " + error.what());
        }
    }
}

IdentificationRun::StopPhase IdentificationRun::PhaseAfterSearch() const {
    return resolved.Restarts > 1 ? StopPhase::Restarts : StopPhase::Refinement;
}

double IdentificationRun::Score(const Found& found) const {
    return found.Error + structurePenalty * static_cast<double>(found.Model.ParameterCount());
}

void IdentificationRun::Conclude() {
    if (engine.StopRequested() && (resolved.Refine || resolved.Restarts > 1))
        NoteStop(PhaseAfterSearch());
    concluding = resolved.Refine || resolved.Restarts > 1;
    const auto found = FindAll(stoppedIn != StopPhase::None ? 1 : resolved.Restarts);
    concluding = false;
    if (Slice.Count > 1) {
        KeepSliceSearches(found);
        return;
    }
    const std::size_t searches =
        std::min(found.size(), static_cast<std::size_t>(std::max(resolved.Restarts, 1)));
    completedSearches = static_cast<int>(
        std::count_if(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(searches),
                      [](const auto& f) { return f.has_value(); }));
    KeepChosen(found, searches);
}

// With a thorough run that was not stopped, the model the hold-out chooses; otherwise that of
// the lowest score among the searches.
void IdentificationRun::KeepChosen(std::vector<std::optional<Found>> found,
                                   std::size_t searches) {
    if (resolved.Thorough && stoppedIn == StopPhase::None) {
        if (auto chosen = ChosenByHoldOut(found, searches)) {
            KeepResult(std::move(chosen->first), chosen->second);
            return;
        }
        // Nothing was found, or a stop cut the choice short: the searches' scores decide.
    }
    found.resize(std::min(found.size(), searches));
    std::optional<std::size_t> kept;
    for (std::size_t k = 0; k < found.size(); ++k) {
        if (found[k] && (!kept || Score(*found[k]) < Score(*found[*kept])))
            kept = k;
    }
    if (kept)
        KeepResult(*found[*kept], static_cast<int>(*kept));
}

double IdentificationRun::PenaltyOf(const TGenetico& settings) const {
    // The engine's error is the squared residual sum divided by 10000.
    return resolved.Simplify ? settings.SizeReductionFactor * 10000.0 : 0.0;
}

// The indices of `searches` this slice runs: all of them with a slice of one.
std::vector<std::size_t> IdentificationRun::SliceIndices(std::size_t searches) const {
    std::vector<std::size_t> indices;
    const auto step = static_cast<std::size_t>(std::max(Slice.Count, 1));
    for (auto k = static_cast<std::size_t>(std::max(Slice.Index, 0)); k < searches; k += step)
        indices.push_back(k);
    return indices;
}

// Every search of the slice, those a stop left unrun without a model.
void IdentificationRun::KeepSliceSearches(const std::vector<std::optional<Found>>& found) {
    sliceSearches.clear();
    const Rnd::State own = Rnd::GlobalState();
    for (const std::size_t k :
         SliceIndices(static_cast<std::size_t>(std::max(resolved.Restarts, 1)))) {
        FinishedSearch search;
        search.Index = static_cast<int>(k);
        if (k > 0) {
            search.SeedDraw = RestartDraw(search.Index, seedState);
            search.SystemSeed = RestartSystemSeed(search.Index, seedState);
        }
        if (k < found.size() && found[k]) {
            search.Model = found[k]->Model;
            search.Error = found[k]->Error;
            search.Score = Score(*found[k]);
            search.Searched = found[k]->Searched;
            search.Start = found[k]->Start;
        }
        sliceSearches.push_back(std::move(search));
    }
    Rnd::GlobalState() = own;
}

std::optional<std::string>
IdentificationRun::ForeignModel(const std::vector<FinishedSearch>& searches) const {
    const Refinement refinement = EstimationRefinement();
    for (const FinishedSearch& search : searches) {
        if (!search.Model)
            continue;
        const double error = refinement.SquaredError(*search.Model);
        // The slice computed it alike; the margin only spares a machine of other rounding.
        if (!(std::fabs(error - search.Error) <= 1e-9 * std::fabs(search.Error)))
            return "Search " + std::to_string(search.Index + 1) + "'s model gives the squared " +
                   "error " + FormatGeneral(error, 15) + ", not the " +
                   FormatGeneral(search.Error, 15) + " it came with: its part was changed";
    }
    return std::nullopt;
}

std::string IdentificationRun::RunMerged(const std::vector<FinishedSearch>& searches,
                                         std::string_view evolutionRows, int finalGeneration,
                                         bool stopped) {
    std::string failure;
    // HandOver asked the engine, which does not run here, to stop; only a stop asked from now
    // on ends the merge early.
    engine.DropStop();
    if (stopped)
        NoteStop(finalGeneration < engine.Generations ? StopPhase::Search : PhaseAfterSearch());
    try {
        report.AppendEvolutionRows(evolutionRows);
        lastGeneration = finalGeneration;
        std::vector<std::optional<Found>> found(searches.size());
        for (const FinishedSearch& search : searches) {
            const auto k = static_cast<std::size_t>(search.Index);
            if (k >= found.size() || !search.Model)
                continue;
            found[k] = Found{*search.Model, search.Error, search.Searched};
            found[k]->Start = search.Start;
        }
        completedSearches = static_cast<int>(
            std::count_if(found.begin(), found.end(), [](const auto& f) { return f.has_value(); }));
        structurePenalty = PenaltyOf(engine);
        const std::size_t count = found.size();
        if (resolved.Thorough && !stopped) {
            const std::atomic<bool> stop{false};
            for (std::size_t e = 0; e < EstimatorStarts; ++e)
                found.push_back(FromEstimator(e, stop));
        }
        KeepChosen(std::move(found), count);
        // A model from an estimator's start has no search of its own: the report shows the
        // run's own search, which in one process the engine holds and here slice 0 brought.
        if (!keptSearchModel && !searches.empty() && searches.front().Index == 0)
            keptSearchModel = searches.front().Searched;
    } catch (const std::exception& error) {
        failure = error.what();
    }
    return Finish(std::move(failure));
}

Refinement::Result IdentificationRun::Grown(Refinement::Result start,
                                            const std::atomic<bool>& stop) const {
    StructureSearch search(EstimationInputs(), EstimationColumn(columns.size() - 1),
                           estimationRows, estimationParts);
    search.Stop = &stop;
    return search.Grow(std::move(start), structurePenalty);
}

// Estimator 0 is the ARX model, 1 the subspace model, each chosen on the estimation rows and
// then refined, simplified and grown as the searches' models are.
std::optional<IdentificationRun::Found>
IdentificationRun::FromEstimator(std::size_t which, const std::atomic<bool>& stop) const {
    const std::vector<std::span<const double>> inputs = EstimationInputs();
    const std::span<const double> output = EstimationColumn(columns.size() - 1);
    std::optional<LinearModel> start;
    if (which == 0) {
        estimates.Arx = ArxEstimate(inputs, output, estimationRows, estimationParts)
                            .Structures(structurePenalty);
        start = ArxEstimate::Best(estimates.Arx);
    } else {
        // Higher orders are judged as they are, in the hold-out; as starts their many
        // factors cost the simplification much and overfit.
        const SubspaceEstimate subspace(inputs, output, estimationRows, estimationParts);
        estimates.Subspace = subspace.Fits();
        const int order =
            subspace.BestOrder(estimates.Subspace, structurePenalty, ArxEstimate::MaxOrder);
        if (order > 0)
            start = estimates.Subspace[static_cast<std::size_t>(order - 1)];
    }
    if (!start || stop)
        return std::nullopt;
    Refinement refinement = EstimationRefinement();
    refinement.Stop = &stop;
    Refinement::Result refined =
        Grown(refinement.Simplify(refinement.Refine(*start), structurePenalty), stop);
    if (stop)
        return std::nullopt;
    Found found{std::move(refined.Model), refined.Error};
    found.Origin = which == 0 ? "ARX estimate" : "subspace estimate";
    found.Start = std::move(start);
    return found;
}

// The first HoldOutFitShare of every experiment's estimation rows, end to end, to fit on; the
// rest of each is judged. One experiment's part is the first rows of its columns as they are.
IdentificationRun::HoldOutRows IdentificationRun::HoldOutSplit() const {
    HoldOutRows held;
    if (estimationParts.Single()) {
        held.Rows = static_cast<std::size_t>(static_cast<double>(estimationRows) * HoldOutFitShare);
        held.Inputs = InputColumns(held.Rows);
        held.Output = std::span<const double>(columns.back()).first(held.Rows);
        held.Judged.push_back({held.Rows, estimationRows});
        return held;
    }
    std::vector<std::size_t> starts;
    held.Owned.resize(columns.size());
    for (const Experiments::Part& part : estimationParts.Parts(estimationRows)) {
        const std::size_t split =
            part.Begin +
            static_cast<std::size_t>(static_cast<double>(part.End - part.Begin) * HoldOutFitShare);
        held.Judged.push_back({split, part.End});
        // An experiment of one row is judged whole.
        if (split == part.Begin)
            continue;
        starts.push_back(held.Rows);
        held.Rows += split - part.Begin;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::span<const double> column = EstimationColumn(c);
            held.Owned[c].insert(held.Owned[c].end(),
                                 column.begin() + static_cast<std::ptrdiff_t>(part.Begin),
                                 column.begin() + static_cast<std::ptrdiff_t>(split));
        }
    }
    for (std::size_t c = 0; c + 1 < columns.size(); ++c)
        held.Inputs.emplace_back(held.Owned[c]);
    held.Output = held.Owned.back();
    if (starts.size() > 1)
        held.Parts = Experiments(std::move(starts));
    return held;
}

// The few best distinct structures by error plus penalty among what was found, then the
// established estimators' own models that explain more than the simplest model, each with
// its fit on the hold-out's part.
std::vector<IdentificationRun::HoldOutCandidate>
IdentificationRun::HoldOutPool(const std::vector<std::optional<Found>>& found, std::size_t searches,
                               const HoldOutRows& held) const {
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < found.size(); ++k)
        if (found[k])
            order.push_back(k);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return Score(*found[a]) < Score(*found[b]);
    });
    std::vector<HoldOutCandidate> pool;
    for (const std::size_t k : order) {
        const bool seen = std::any_of(pool.begin(), pool.end(), [&](const HoldOutCandidate& c) {
            return c.Kept.Model.SameStructure(found[k]->Model);
        });
        if (!seen && pool.size() < HoldOutCandidates)
            pool.push_back({*found[k], k < searches ? static_cast<int>(k) : 0, std::nullopt});
    }
    const Refinement whole = EstimationRefinement();
    const LinearModel simplest = LinearModel::Simplest(columns.size() - 1);
    const double simplestScore = Score(Found{simplest, whole.SquaredError(simplest)});
    const auto addEstimate = [&](std::optional<LinearModel> model, std::optional<LinearModel> part,
                                 const char* origin) {
        if (!model || !part || !model->Stable())
            return;
        const double error = whole.SquaredError(*model);
        Found estimate{std::move(*model), error};
        if (!(Score(estimate) < simplestScore))
            return;
        pool.push_back({std::move(estimate), 0, std::move(part)});
        pool.back().Kept.Origin = origin;
    };
    const ArxEstimate arxPart(held.Inputs, held.Output, held.Rows, held.Parts);
    for (const ArxEstimate::Structure& s : estimates.Arx)
        addEstimate(s.Model, arxPart.Fit(s.Order, s.Delays), "ARX estimate");
    const SubspaceEstimate subspacePart(held.Inputs, held.Output, held.Rows, held.Parts);
    for (std::size_t n = 1; n <= estimates.Subspace.size(); ++n)
        addEstimate(estimates.Subspace[n - 1], subspacePart.Fit(static_cast<int>(n)),
                    "subspace estimate");
    return pool;
}

// The pool's candidates are judged by the squared error on the held-out rows of the model
// fitted on the part, simulated from each experiment's first row, plus the penalty per
// parameter in proportion to those rows: a model that drifts, or fits chance, loses there.
// A found model is fitted on the part by the work that found it, repeated from its start (its
// own coefficients have seen the rows that judge it); an estimator's model is estimated anew
// there with its orders and delays. The lowest wins, the earlier among equals; nothing when
// nothing was found. The pair's second is the search the model came from.
std::optional<std::pair<IdentificationRun::Found, int>>
IdentificationRun::ChosenByHoldOut(const std::vector<std::optional<Found>>& found,
                                   std::size_t searches) {
    const HoldOutRows held = HoldOutSplit();
    std::vector<HoldOutCandidate> pool = HoldOutPool(found, searches, held);
    if (pool.empty())
        return std::nullopt;
    std::atomic<bool> stop{false};
    Refinement part(held.Inputs, held.Output, held.Rows, held.Parts);
    part.Stop = &stop;
    StructureSearch partSearch(held.Inputs, held.Output, held.Rows, held.Parts);
    partSearch.Stop = &stop;
    const auto refitted = [&](const Found& found) {
        const Refinement::Result refined =
            part.Simplify(part.Refine(found.Start.value_or(found.Model)), structurePenalty);
        return partSearch.Grow(refined, structurePenalty).Model;
    };
    std::size_t judgedRows = 0;
    for (const Experiments::Part& judged : held.Judged)
        judgedRows += judged.End - judged.Begin;
    const double heldOutPenalty =
        structurePenalty * static_cast<double>(judgedRows) / static_cast<double>(estimationRows);
    std::vector<double> heldOut(pool.size());
    std::vector<std::exception_ptr> failures(pool.size());
    choosing = true;
    RunServing(pool.size(), stop, StopPhase::HoldOut, [&](std::size_t c) {
        try {
            heldOut[c] = HeldOutScore(pool[c], refitted, held, heldOutPenalty);
        } catch (...) {
            failures[c] = std::current_exception();
        }
    });
    choosing = false;
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    // A stop leaves the choice to the searches' scores.
    if (stop)
        return std::nullopt;
    std::size_t best = 0;
    for (std::size_t c = 1; c < pool.size(); ++c)
        if (heldOut[c] < heldOut[best])
            best = c;
    return std::pair{std::move(pool[best].Kept), pool[best].Search};
}

// The candidate's squared error on the held-out rows, fitted on the part, plus `penalty` per
// parameter; infinite when its simulation is not finite.
double IdentificationRun::HeldOutScore(const HoldOutCandidate& candidate,
                                       const std::function<LinearModel(const Found&)>& refitted,
                                       const HoldOutRows& held, double penalty) const {
    const std::span<const double> output = EstimationColumn(columns.size() - 1);
    const std::vector<std::span<const double>> inputs = EstimationInputs();
    const LinearModel refit = candidate.PartFit ? *candidate.PartFit : refitted(candidate.Kept);
    const std::vector<double> simulated = refit.Simulate(inputs, estimationRows, estimationParts);
    double error = 0.0;
    for (const Experiments::Part& judged : held.Judged)
        for (std::size_t i = judged.Begin; i < judged.End; ++i)
            error = error + (output[i] - simulated[i]) * (output[i] - simulated[i]);
    const auto parameters = static_cast<double>(candidate.Kept.Model.ParameterCount());
    return std::isfinite(error) ? error + penalty * parameters
                                : std::numeric_limits<double>::infinity();
}

// The search's best model of the last completed generation, as it is.
void IdentificationRun::ConcludeWithSearchBest() {
    if (result || !HasModel())
        return;
    try {
        std::optional<LinearModel> model = LinearModel::From(engine.BestModel());
        if (!model)
            return;
        const Refinement refinement = EstimationRefinement();
        const double error = refinement.SquaredError(*model);
        KeepResult(Found{std::move(*model), error, SearchBestOf(engine)}, 0);
        result->Refined = false;
    } catch (const std::exception&) {
        result.reset();
    }
}

const std::vector<InputSummary>&
IdentificationRun::Summaries(std::optional<double> sampleTime) const {
    static const std::vector<InputSummary> none;
    if (!result)
        return none;
    if (!summaries || summaries->first != sampleTime)
        summaries.emplace(sampleTime, ModelSummary::Of(result->Model, sampleTime, EstimationData()));
    return summaries->second;
}

void IdentificationRun::KeepResult(Found best, int restart) {
    summaries.reset();
    keptSearchModel = best.Searched;
    IdentifiedModel model;
    const std::size_t rows = measured.size();
    model.Computed = best.Model.Simulate(InputColumns(rows), rows, allParts);
    model.Model = std::move(best.Model);
    model.Offsets = offsets;
    if (names.empty()) {
        offsets.AddToOutput(model.Computed);
        model.ValidationBegins = estimationRows;
        model.EstimationFit = FitFigure::Percent(measured, model.Computed, 0, estimationRows);
        if (estimationRows < rows)
            model.ValidationFit =
                FitFigure::Percent(measured, model.Computed, estimationRows, rows);
    } else {
        JudgeExperiments(model);
    }
    model.EstimationError = best.Error;
    model.Refined = resolved.Refine;
    model.Restart = restart;
    model.Origin = best.Origin;
    model.CompletedSearches = std::max(completedSearches, 1);
    JudgeOnOtherData(model);
    result = std::move(model);
}

std::optional<std::string> IdentificationRun::AddOtherData(std::string name,
                                                          const TableSamples& samples) {
    const auto inputs = static_cast<std::size_t>(samples.Inputs());
    if (!columns.empty() && inputs + 1 != columns.size())
        return "The validation data " + name + " have " + std::to_string(inputs) +
               (inputs == 1 ? " input" : " inputs") + "; the model has " +
               std::to_string(columns.size() - 1);
    ValidationData data{std::move(name), std::vector<std::vector<double>>(
                                             inputs + 1, std::vector<double>(
                                                             static_cast<std::size_t>(
                                                                 samples.Samples())))};
    for (int r = 0; r < samples.Samples(); ++r) {
        const std::span<const double> row = samples.Row(r);
        for (std::size_t c = 0; c <= inputs; ++c)
            data.Columns[c][static_cast<std::size_t>(r)] = row[c];
    }
    OtherData.push_back(std::move(data));
    return std::nullopt;
}

// Each experiment's own output mean added back and its fit figures; the fit over all of
// them adds up every part's residuals and deviations from its own mean.
void IdentificationRun::JudgeExperiments(IdentifiedModel& model) const {
    PooledFit estimation;
    PooledFit validation;
    const std::span<const double> computed(model.Computed);
    const std::span<const double> measuredRows(measured);
    const std::vector<Experiments::Part> parts = allParts.Parts(measured.size());
    for (std::size_t k = 0; k < parts.size(); ++k) {
        IdentifiedModel::Experiment judged{names[k], parts[k].Begin, validationBegins[k],
                                           parts[k].End, experimentOffsets[k]};
        judged.Offsets.AddToOutput(
            std::span<double>(model.Computed).subspan(judged.Begin, judged.End - judged.Begin));
        judged.EstimationFit =
            FitFigure::Percent(measured, model.Computed, judged.Begin, judged.ValidationBegins);
        estimation.Add(measuredRows.subspan(judged.Begin, judged.ValidationBegins - judged.Begin),
                       computed.subspan(judged.Begin, judged.ValidationBegins - judged.Begin));
        if (judged.ValidationBegins < judged.End) {
            judged.ValidationFit =
                FitFigure::Percent(measured, model.Computed, judged.ValidationBegins, judged.End);
            validation.Add(
                measuredRows.subspan(judged.ValidationBegins, judged.End - judged.ValidationBegins),
                computed.subspan(judged.ValidationBegins, judged.End - judged.ValidationBegins));
        }
        model.PerExperiment.push_back(std::move(judged));
    }
    model.EstimationFit = estimation.Percent();
    model.ValidationBegins = model.Computed.size();
    if (!parts.empty() && validationBegins.front() < parts.front().End) {
        model.ValidationBegins = validationBegins.front();
        model.ValidationFit = validation.Percent();
    }
}

// Each experiment from rest around the model's offsets, as the exported model computes it;
// the fit over all of them adds up every part's residuals and deviations from its own mean.
void IdentificationRun::JudgeOnOtherData(IdentifiedModel& model) const {
    PooledFit all;
    for (const ValidationData& data : OtherData) {
        std::vector<std::vector<double>> centred = data.Columns;
        const std::size_t rows = centred.back().size();
        model.Offsets.Remove(centred);
        std::vector<std::span<const double>> inputs(centred.begin(), centred.end() - 1);
        IdentifiedModel::OtherData judged{data.Name, data.Columns.back(),
                                          model.Model.Simulate(inputs, rows)};
        model.Offsets.AddToOutput(judged.Computed);
        judged.Fit = FitFigure::Percent(judged.Measured, judged.Computed, 0, rows);
        all.Add(judged.Measured, judged.Computed);
        model.Validation.push_back(std::move(judged));
    }
    if (!OtherData.empty())
        model.OtherDataFit = all.Percent();
}

void IdentificationRun::WriteComputedOutput(const std::string& path, std::size_t part) const {
    if (!result || part > result->Validation.size())
        return;
    WriteValues(path, part == 0 ? result->Computed : result->Validation[part - 1].Computed);
}

void IdentificationRun::WriteExperimentOutput(const std::string& path, std::size_t k) const {
    if (!result || k >= result->PerExperiment.size())
        return;
    const IdentifiedModel::Experiment& part = result->PerExperiment[k];
    WriteValues(
        path, std::span<const double>(result->Computed).subspan(part.Begin, part.End - part.Begin));
}

void IdentificationRun::WriteValues(const std::string& path, std::span<const double> values) {
    ReplacementFile file(path, ReplacementFile::Links::Replace, "Cannot create the file " + path,
                         "The file " + path + " could not be written completely");
    std::string text;
    std::array<char, 40> buffer{};
    for (const double value : values) {
        std::snprintf(buffer.data(), buffer.size(), "%.17g\n", value);
        text += buffer.data();
    }
    file.Write(text);
    file.Commit();
}

} // namespace orvanel
