// orvanel-identify: one identification run on a data file, without the window.
#include "cli/CommandInputs.h"
#include "cli/CommandOutputs.h"
#include "cli/DataError.h"
#include "cli/IdentifyOptions.h"
#include "cli/ProgressDisplay.h"
#include "cli/StopSignals.h"
#if ORVANEL_MPI
#include "cli/MpiRestarts.h"
#endif
#include "document/formats/DataImport.h"
#include "document/formats/ModelExport.h"
#include "document/formats/ModelFile.h"
#include "document/formats/RestartParts.h"
#include "document/project/Document.h"
#include "document/run/IdentificationRun.h"
#include "document/run/RunReport.h"
#include "document/table/ReplacementFile.h"
#include "document/table/TableSamples.h"
#include "document/table/TextEncoding.h"
#include "engine/linear/FitFigure.h"
#include "engine/search/Genetico.h"
#include "engine/search/RunParameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using namespace orvanel;

constexpr int ExitSuccess = 0;
constexpr int ExitRunFailed = 1;
constexpr int ExitBadUsage = 2;

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "orvanel-identify: %s\n", TextEncoding::Printable(message).c_str());
    return status;
}

// A line of the result. Names and texts from the files reach it, and a control character among
// them would be a command to the terminal: they are escaped as in the messages.
void PrintLine(const std::string& line) {
    std::printf("%s\n", TextEncoding::Printable(line).c_str());
}

// "Input 2 (feed): ..." where the file names its columns.
std::string Named(std::string line, const std::vector<std::string>& names) {
    const std::size_t colon = line.find(':');
    const std::size_t space = line.find(' ');
    if (colon == std::string::npos || space == std::string::npos || space > colon)
        return line;
    const std::size_t input = std::stoul(line.substr(space + 1, colon - space - 1));
    if (input < 1 || input > names.size())
        return line;
    return line.insert(colon, " (" + names[input - 1] + ")");
}

// The refined model and the fit figures after the search's result.
void PrintQuality(const IdentificationRun& run, const IdentifiedModel& result,
                  const std::vector<std::string>& names) {
    if (result.Refined) {
        std::printf("Refined model:\n");
        for (const std::string& line : run.Report().ModelLines(result.Model))
            PrintLine(Named(line, names));
    }
    for (const std::string& line : RunReport::FitLines(result))
        PrintLine(line);
}

// Each input's figures after the model with --summary; its warnings on standard error with
// --summary or when a JSON export carries them too.
void PrintSummary(const IdentificationRun& run, const IdentifyOptions& options,
                  std::optional<double> sampleTime, const std::vector<std::string>& names) {
    const bool json = std::any_of(
        options.ExportPaths.begin(), options.ExportPaths.end(), [](const std::string& path) {
            return ModelExport::FormatFor(path) == ModelExport::Format::Json;
        });
    if (!options.Summary && !json)
        return;
    const std::vector<InputSummary>& summaries = run.Summaries(sampleTime);
    for (std::size_t k = 0; k < summaries.size(); ++k) {
        std::string input = "Input " + std::to_string(k + 1);
        if (k < names.size())
            input += " (" + TextEncoding::Printable(names[k]) + ")";
        if (options.Summary) {
            std::printf("%s summary:\n", input.c_str());
            for (const std::string& line : ModelSummary::Lines(summaries[k]))
                std::printf("  %s\n", line.c_str());
        }
        for (const std::string& warning : summaries[k].Warnings)
            std::fprintf(stderr, "Warning: %s: %s\n", input.c_str(), warning.c_str());
    }
}

// Every file asked for that can be written is written; the messages of those that could not.
std::vector<std::string> WriteOutputs(const IdentificationRun& run, const TGenetico& engine,
                                      const IdentifyOptions& options, int seed,
                                      const ImportedData& data) {
    std::vector<std::string> failures;
    // A signal now would leave a file half written: it waits until the files are in place.
    const StopSignals::Deferred deferred;
    const auto write = [&failures](const auto& action) {
        try {
            action();
        } catch (const std::exception& error) {
            failures.emplace_back(error.what());
        }
    };
    if (!options.SimulatedOutputPath.empty()) {
        if (options.DataPaths.size() > 1) {
            for (std::size_t k = 0; k < options.DataPaths.size(); ++k)
                write([&] { run.WriteExperimentOutput(options.ExperimentOutputPath(k + 1), k); });
        } else {
            write([&] { run.WriteComputedOutput(options.SimulatedOutputPath); });
        }
        for (std::size_t part = 1; part <= options.ValidationPaths.size(); ++part)
            write([&] { run.WriteComputedOutput(options.ValidationOutputPath(part), part); });
    }
    if (options.ExportPaths.empty())
        return failures;
    ModelExport description =
        ModelExport::Of(run, engine, options.DataPath, seed,
                        options.SampleTime ? options.SampleTime : data.SampleTime);
    description.InputNames = data.InputNames;
    description.OutputName = data.OutputName;
    for (const std::string& path : options.ExportPaths) {
        try {
            description.Write(path);
        } catch (const std::exception& error) {
            failures.emplace_back(error.what());
        }
    }
    return failures;
}

ModelFile ReadModel(const std::string& path) {
    try {
        return ModelFile::Read(path);
    } catch (const DocumentError& error) {
        throw DataError(error.what());
    }
}

// The data as the model takes them: each input by its name where both name them, unless the
// user chose the columns.
TableSamples SamplesForModel(const ModelFile& model, const IdentifyOptions& options) {
    ImportedData data = CommandInputs::Read(options.DataPath, options.Import);
    if (!options.Import.Inputs.empty())
        data.InputNames.clear();
    if (!options.Import.Output.empty())
        data.OutputName.clear();
    try {
        return model.SamplesFor(data, options.DataPath);
    } catch (const DocumentError& error) {
        throw DataError(options.ModelPath + " on " + options.DataPath + ": " + error.what() +
                        ": choose the columns with --inputs and --output");
    }
}

// A model read back and judged on the data: no search, no report.
int CheckModel(const IdentifyOptions& options) {
    const ModelFile model = ReadModel(options.ModelPath);
    const TableSamples samples = SamplesForModel(model, options);
    const std::string checked = options.ModelPath + " on " + options.DataPath + ": ";
    std::vector<double> computed;
    try {
        computed = model.Simulate(samples);
    } catch (const DocumentError& error) {
        return Fail(ExitBadUsage, checked + error.what());
    }
    const auto diverged = std::find_if_not(computed.begin(), computed.end(),
                                           [](double value) { return std::isfinite(value); });
    if (diverged != computed.end())
        return Fail(ExitRunFailed,
                    checked + "the model diverges: its output is not finite from row " +
                        std::to_string(diverged - computed.begin() + 1) + "; nothing is written");
    if (!options.SimulatedOutputPath.empty()) {
        if (const auto refusal = CommandOutputs::Refusal(
                {{"--simulated-output", options.SimulatedOutputPath}}, options))
            return Fail(ExitBadUsage, *refusal);
    }
    std::vector<double> measured(computed.size());
    for (std::size_t r = 0; r < measured.size(); ++r)
        measured[r] = samples.Row(static_cast<int>(r)).back();
    const std::string part =
        "validation" + std::string(model.InputOffsets ? RunReport::AroundEstimationMeans : "");
    PrintLine(RunReport::FitLine(part, FitFigure::Percent(measured, computed, 0, measured.size())));
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail(ExitRunFailed, "The result could not be written to standard output");
    if (options.SimulatedOutputPath.empty())
        return ExitSuccess;
    try {
        const StopSignals::Deferred deferred;
        IdentificationRun::WriteValues(options.SimulatedOutputPath, computed);
    } catch (const std::exception& error) {
        return Fail(ExitRunFailed, error.what());
    }
    return ExitSuccess;
}

// A run set up from the command line: the engine with its parameters, the run with its
// options and, after HandOver, the data's names and checksum.
struct Session {
    Session(const IdentifyOptions& options, int seed);

    const IdentifyOptions& options;
    int seed;
    TGenetico engine;
    IdentificationRun run;
    // Every data file in order; the first names the columns and the run.
    std::vector<ImportedData> experiments;
    std::optional<double> sampleTime;
    RestartParts::Identity identity;
    // Doubts about the data, for standard error.
    std::vector<std::string> warnings;

    const ImportedData& Data() const { return experiments.front(); }
};

// What changes a run's searches, as the engine and the options hold it before the data.
Session::Session(const IdentifyOptions& options, int seed)
    : options(options), seed(seed), engine(seed), run(engine) {
    options.ApplyTo(engine);
    run.Options = options.Identification;
    for (const RunParameter* parameter : RunParameters::All())
        identity.Options.emplace_back(parameter->Flag.substr(2), parameter->Read(engine));
    for (const IdentificationOption* option : IdentificationOption::All())
        identity.Options.emplace_back(option->Flag.substr(2), option->Read(run.Options));
    identity.Options.emplace_back("seed-ms", seed);
    identity.Restarts = run.Options.Resolved().Restarts;
}

// Reads the data and hands them to the run; the refusal's message.
std::optional<std::string> HandOver(Session& session) {
    const IdentifyOptions& options = session.options;
    session.experiments = CommandInputs::Experiments(options);
    const ImportedData& data = session.Data();
    session.sampleTime = options.SampleTime ? options.SampleTime : data.SampleTime;
    session.run.SampleTime = session.sampleTime;
    for (const ImportedData& experiment : session.experiments) {
        session.run.FilledCells += experiment.FilledCells;
        session.identity.DataChecksum += (session.identity.DataChecksum.empty() ? "" : ",") +
                                         RestartParts::Checksum(experiment.Samples);
    }
    if (auto refusal = CommandInputs::HandOver(session.run, options, session.experiments))
        return refusal;
    if (auto refusal = session.run.ConstantOutputRefusal())
        return refusal;
    if (auto refusal = CommandInputs::AddValidation(session.run, options, session.experiments,
                                                    session.warnings))
        return refusal;
    // The samples are released once the engine holds its copy.
    for (ImportedData& experiment : session.experiments)
        experiment.Samples = TableSamples();
    return std::nullopt;
}

void PrintWarnings(const Session& session) {
    for (const std::string& warning : session.warnings)
        std::fprintf(stderr, "Warning: %s\n", TextEncoding::Printable(warning).c_str());
}

std::string ReportPathOf(const IdentifyOptions& options) {
    return options.ReportPath.empty() ? RunReport::ReportPathFor(options.DataPath)
                                      : options.ReportPath;
}

// Every output checked, then the report begun; the refusal's message.
std::optional<std::string> BeginReport(Session& session) {
    const std::string reportPath = ReportPathOf(session.options);
    if (auto refusal = CommandOutputs::Refusal(CommandOutputs::Of(session.options, reportPath),
                                               session.options))
        return refusal;
    try {
        session.run.BeginReport(reportPath);
    } catch (const std::exception& error) {
        return error.what();
    }
    return std::nullopt;
}

// Called where the run looks for a stop: passes it between the processes of one run.
using StopRelay = std::function<void(StopSignals&)>;

// A signal asks the engine to stop, which the process that speaks acknowledges on standard
// error; the progress is shown unless quiet.
void Watch(Session& session, StopSignals& signals, ProgressDisplay& progress, bool speaks,
           const StopRelay& relay = {}) {
    const auto stopWhenSignalled = [&session, &signals, &progress, speaks, relay] {
        if (relay)
            relay(signals);
        if (!signals.Requested())
            return;
        if (signals.Acknowledge() && speaks) {
            progress.Finish();
            std::fprintf(stderr, "Stopping after the current step; another signal ends the "
                                 "run at once.\n");
        }
        session.engine.RequestStop();
    };
    session.run.OnProgress = [&session, &progress, stopWhenSignalled] {
        stopWhenSignalled();
        if (!session.options.Quiet)
            progress.Update(session.engine);
    };
    session.run.OnResponsive = [&session, &progress, stopWhenSignalled] {
        stopWhenSignalled();
        if (!session.options.Quiet) {
            const IdentificationRun::PhaseProgress phase = session.run.Progress();
            progress.ShowPhase(phase.Text, phase.Done, phase.Total);
        }
    };
}

// The exit status of a run a signal stopped; nothing when none did.
std::optional<int> StopStatusOf(const StopSignals& signals) {
    return signals.Requested() ? std::optional<int>(signals.ExitStatus()) : std::nullopt;
}

// What the command prints and writes once the run, or the merge, ended with `failure`;
// `stopStatus` is that of a stop asked of it.
int Conclude(Session& session, const std::string& failure, std::optional<int> stopStatus) {
    const IdentificationRun& run = session.run;
    const IdentifyOptions& options = session.options;
    if (!run.HasModel()) {
        Fail(ExitRunFailed, failure);
        return stopStatus.value_or(ExitRunFailed);
    }
    const std::vector<std::string>& names = session.Data().InputNames;
    const std::vector<std::string> lines = run.Report().OptimumLines(run.KeptSearchModel());
    PrintLine(lines.back());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        PrintLine(Named(lines[i], names));
    if (const auto& result = run.Result()) {
        PrintQuality(run, *result, names);
        if (run.StopLines().empty())
            PrintSummary(run, options, session.sampleTime, names);
    }
    // A script reads the result from here: losing it (a full disk, a closed pipe) is no success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail(ExitRunFailed, "The result could not be written to standard output");
    if (!failure.empty())
        return Fail(ExitRunFailed, failure + " after generation " +
                                       std::to_string(run.LastGeneration()) +
                                       ": the model shown is the best of that generation");
    const std::vector<std::string> stop = run.StopLines();
    if (!stop.empty()) {
        for (std::size_t i = 1; i < stop.size(); ++i)
            std::fprintf(stderr, "%s\n", stop[i].c_str());
        std::fprintf(stderr, "No export or computed output is written for a stopped run.\n");
        return stopStatus.value_or(ExitRunFailed);
    }
    if (run.Result()) {
        const std::vector<std::string> failures =
            WriteOutputs(run, session.engine, options, session.seed, session.Data());
        for (const std::string& message : failures)
            Fail(ExitRunFailed, message);
        if (!failures.empty())
            return ExitRunFailed;
        // A first run with the defaults can fit poorly where a thorough one fits well.
        if (const auto hint =
                options.Identification.PoorFitHint(run.Result()->EstimationFit, "--thorough"))
            std::fprintf(stderr, "%s\n", hint->c_str());
    }
    return stopStatus.value_or(ExitSuccess);
}

int Identify(const IdentifyOptions& options) {
    StopSignals signals;
    Session session(options, options.SeedMilliseconds.value_or(Rnd::CurrentMilliseconds()));
    if (const auto refusal = HandOver(session))
        return Fail(ExitBadUsage, *refusal);
    if (const auto refusal = BeginReport(session))
        return Fail(ExitBadUsage, *refusal);
    PrintWarnings(session);
    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    signals.RemoveOnSecondSignal(session.run.Report().TemporaryPath());
    Watch(session, signals, progress, true);
    const std::string failure = session.run.Run();
    signals.RemoveOnSecondSignal({});
    progress.Finish();
    return Conclude(session, failure, StopStatusOf(signals));
}

// A slice's part, or the status and message it failed with.
struct SliceOutcome {
    int Status = ExitSuccess;
    std::string Failure;
    RestartParts::Part Part;
    // Whether a stop cut the slice short: Part then holds what it finished.
    bool Stopped = false;
};

SliceOutcome RunSlice(const IdentifyOptions& options, int seed, RestartSlice slice,
                      StopSignals& signals, bool speaks, const StopRelay& relay = {}) {
    Session session(options, seed);
    if (const auto refusal = HandOver(session))
        return {ExitBadUsage, *refusal, {}};
    session.run.Slice = slice;
    std::string rows;
    session.run.OnRow = [&rows, &session](const TGenetico& engine) {
        rows += session.run.Report().EvolutionRowText(engine);
    };
    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    Watch(session, signals, progress, speaks, relay);
    const std::string failure = session.run.Run();
    progress.Finish();
    if (!failure.empty())
        return {ExitRunFailed, failure, {}};
    RestartParts::Part part{session.identity,
                            slice.Index,
                            slice.Count,
                            std::move(rows),
                            session.run.LastGeneration(),
                            session.run.SliceSearches()};
    if (session.run.Stopped() != IdentificationRun::StopPhase::None)
        return {StopStatusOf(signals).value_or(ExitRunFailed),
                "Stopped: no part is written for a stopped slice", std::move(part), true};
    return {ExitSuccess, {}, std::move(part)};
}

// "searches 1, 5 of 8", or "no search of 2" for a slice beyond the searches.
std::string SearchesOf(const RestartParts::Part& part) {
    std::string list;
    for (const FinishedSearch& search : part.Searches)
        list += (list.empty() ? "" : ", ") + std::to_string(search.Index);
    return (list.empty() ? "no search" : "searches " + list) + " of " +
           std::to_string(part.Run.Restarts);
}

int WriteSlice(const IdentifyOptions& options) {
    if (const auto refusal = CommandOutputs::Refusal({{"--part", options.PartPath}}, options))
        return Fail(ExitBadUsage, *refusal);
    StopSignals signals;
    const IdentifyOptions::SliceChoice slice = *options.RestartSlice;
    SliceOutcome outcome =
        RunSlice(options, *options.SeedMilliseconds, {slice.Index, slice.Count}, signals, true);
    if (outcome.Status != ExitSuccess)
        return Fail(outcome.Status, outcome.Failure);
    try {
        const StopSignals::Deferred deferred;
        RestartParts::Write(options.PartPath, outcome.Part);
    } catch (const std::exception& error) {
        return Fail(ExitRunFailed, error.what());
    }
    PrintLine("Slice " + std::to_string(slice.Index) + " of " + std::to_string(slice.Count) + ": " +
              SearchesOf(outcome.Part) + " written to " + options.PartPath);
    return signals.Requested() ? signals.ExitStatus() : ExitSuccess;
}

using NamedParts = std::vector<std::pair<std::string, RestartParts::Part>>;

// The seed the slices were run with.
int SeedOf(const RestartParts::Part& part) {
    for (const auto& [name, value] : part.Run.Options) {
        if (name == "seed-ms")
            return static_cast<int>(value);
    }
    return 0;
}

// The parts merged into what the run in one process writes; --seed-ms may be left out. With
// `stopped`, a stop cut some parts short: the run ends as one stopped, with that status.
int Merge(const IdentifyOptions& options, const NamedParts& parts, const StopSignals& signals,
          std::optional<int> stopped = std::nullopt) {
    const int seed = options.SeedMilliseconds.value_or(SeedOf(parts.front().second));
    Session session(options, seed);
    if (const auto refusal = HandOver(session))
        return Fail(ExitBadUsage, *refusal);
    RestartParts merged(session.identity, {static_cast<std::size_t>(session.engine.InputCount()),
                                           session.run.Rows()});
    try {
        for (const auto& [name, part] : parts)
            merged.Add(name, part);
        merged.Merged();
    } catch (const DocumentError& error) {
        return Fail(ExitBadUsage, error.what());
    }
    const RestartParts::Part& all = merged.Merged();
    if (const auto refusal = session.run.ForeignModel(all.Searches))
        return Fail(ExitBadUsage, *refusal);
    if (const auto refusal = BeginReport(session))
        return Fail(ExitBadUsage, *refusal);
    PrintWarnings(session);
    const std::string failure = session.run.RunMerged(all.Searches, all.EvolutionRows,
                                                      all.LastGeneration, stopped.has_value());
    return Conclude(session, failure, stopped ? stopped : StopStatusOf(signals));
}

// Part files that do not exist, a failed or cancelled slice's: named with the slice that the
// parts read tell is missing, and how to rerun it.
std::string AbsentPartsMessage(const std::vector<std::string>& absent, const NamedParts& parts) {
    std::string message;
    for (const std::string& path : absent)
        message += (message.empty() ? "" : ", ") + path;
    message += absent.size() == 1 ? " does not exist" : " do not exist";
    if (parts.empty())
        return message;
    // The parts' own bookkeeping names the slice; the models are checked once the data is read.
    const int count = parts.front().second.Slices;
    std::vector<bool> present(static_cast<std::size_t>(std::max(count, 0)), false);
    for (const auto& [name, part] : parts) {
        if (part.Slices == count && part.Slice >= 0 && part.Slice < count)
            present[static_cast<std::size_t>(part.Slice)] = true;
    }
    const auto missing = std::find(present.begin(), present.end(), false);
    if (missing == present.end())
        return message;
    return message + ": " +
           RestartParts::MissingSlice(static_cast<std::size_t>(missing - present.begin()),
                                      present.size());
}

bool IsPartFile(const std::string& path) {
    try {
        RestartParts::Read(path);
        return true;
    } catch (const DocumentError&) {
        return false;
    }
}

int MergeFiles(const IdentifyOptions& options, const StopSignals& signals) {
    for (const std::string& path : options.DataPaths) {
        if (IsPartFile(path))
            return Fail(ExitBadUsage, "The merge needs the data file the slices ran on after the "
                                      "part files: " +
                                          path + " is a part file");
    }
    NamedParts parts;
    std::vector<std::string> absent;
    for (const std::string& path : options.MergePaths) {
        std::error_code error;
        if (!std::filesystem::exists(path, error) && !error) {
            absent.push_back(path);
            continue;
        }
        try {
            parts.emplace_back(path, RestartParts::Read(path));
        } catch (const DocumentError& error) {
            return Fail(ExitBadUsage, error.what());
        }
    }
    if (!absent.empty())
        return Fail(ExitBadUsage, AbsentPartsMessage(absent, parts));
    return Merge(options, parts, signals);
}

// What the command line asks for in one process.
int Dispatch(const IdentifyOptions& options) {
    if (!options.ModelPath.empty())
        return CheckModel(options);
    if (!options.MergePaths.empty()) {
        const StopSignals signals;
        return MergeFiles(options, signals);
    }
    if (options.RestartSlice)
        return WriteSlice(options);
    return Identify(options);
}

#if ORVANEL_MPI
// Passes a stop between the processes, once: a signal to any of them stops them all.
StopRelay ShareStops(const MpiRestarts& ranks) {
    return [&ranks, shared = std::make_shared<bool>(false)](StopSignals& signals) {
        if (*shared)
            return;
        if (signals.Requested())
            ranks.TellStop(signals.Signal());
        else if (const int signal = ranks.StopTold())
            signals.Ask(signal);
        else
            return;
        *shared = true;
    };
}

// The searches spread over the processes mpirun started: each runs its slice, the first
// gathers the parts and merges them; only the first prints and writes. Every process reaches
// the gathering, whatever happened to its slice.
int IdentifyOnRanks(const IdentifyOptions& options, const MpiRestarts& ranks) {
    const bool first = ranks.Rank() == 0;
    int refused = ExitSuccess;
    if (first && options.RestartSlice)
        refused = Fail(ExitBadUsage, "--restart-slice is not for mpirun: each process runs the "
                                     "slice of its rank");
    else if (first && !options.ModelPath.empty())
        refused = Fail(ExitBadUsage, "--model is not for mpirun: run it in one process");
    else if (first && options.MergePaths.empty()) {
        if (const auto refusal = CommandOutputs::Refusal(
                CommandOutputs::Of(options, ReportPathOf(options)), options))
            refused = Fail(ExitBadUsage, *refusal);
    }
    refused = ranks.FromFirst(refused);
    if (refused != ExitSuccess)
        return refused;
    StopSignals signals;
    if (!options.MergePaths.empty())
        return first ? MergeFiles(options, signals) : ExitSuccess;
    const int seed = ranks.FromFirst(options.SeedMilliseconds.value_or(Rnd::CurrentMilliseconds()));
    IdentifyOptions own = options;
    own.Quiet = options.Quiet || !first;
    SliceOutcome outcome;
    try {
        outcome =
            RunSlice(own, seed, {ranks.Rank(), ranks.Size()}, signals, first, ShareStops(ranks));
    } catch (const DataError& error) {
        outcome = {ExitBadUsage, error.what(), {}};
    } catch (const std::exception& error) {
        outcome = {ExitRunFailed, error.what(), {}};
    }
    // A stopped slice's part holds the searches it finished, which the merge keeps.
    const bool withPart = outcome.Status == ExitSuccess || outcome.Stopped;
    const auto gathered =
        ranks.Gather(outcome.Status, withPart ? RestartParts::Text(outcome.Part) : outcome.Failure);
    if (!first)
        return outcome.Status;
    NamedParts parts;
    std::optional<int> stopped;
    for (std::size_t r = 0; r < gathered.size(); ++r) {
        const std::string name = "the part of process " + std::to_string(r);
        if (StopSignals::IsStopStatus(gathered[r].first))
            stopped = gathered[r].first;
        else if (gathered[r].first != ExitSuccess)
            return Fail(gathered[r].first,
                        r == 0 ? gathered[r].second
                               : "process " + std::to_string(r) + ": " + gathered[r].second);
        try {
            parts.emplace_back(name, RestartParts::Parse(gathered[r].second, name));
        } catch (const DocumentError& error) {
            return Fail(ExitRunFailed, error.what());
        }
    }
    IdentifyOptions merging = options;
    merging.SeedMilliseconds = seed;
    return Merge(merging, parts, signals, stopped);
}
#endif

} // namespace

int main(int argc, char** argv) {
#if ORVANEL_MPI
    const MpiRestarts ranks(argc, argv);
    // Only the first process speaks; the others end as it does.
    const bool speaks = ranks.Rank() == 0;
#else
    const bool speaks = true;
#endif
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    IdentifyOptions options;
    try {
        options = IdentifyOptions::Parse(arguments);
    } catch (const UsageError& error) {
        return speaks ? Fail(ExitBadUsage, error.what()) : ExitBadUsage;
    }
    if (options.Help) {
        if (speaks)
            std::fputs(IdentifyOptions::HelpText().c_str(), stdout);
        return ExitSuccess;
    }
    try {
#if ORVANEL_MPI
        if (ranks.Size() > 1)
            return IdentifyOnRanks(options, ranks);
#endif
        return Dispatch(options);
    } catch (const DataError& error) {
        return speaks ? Fail(ExitBadUsage, error.what()) : ExitBadUsage;
    } catch (const std::exception& error) {
        return speaks ? Fail(ExitRunFailed, error.what()) : ExitRunFailed;
    }
}
