// orvanel-identify: one identification run on a data file, without the window.
#include "cli/IdentifyOptions.h"
#include "cli/ProgressDisplay.h"
#include "cli/StopSignals.h"
#if ORVANEL_MPI
#include "cli/MpiRestarts.h"
#endif
#include "document/DataImport.h"
#include "document/Document.h"
#include "document/IdentificationRun.h"
#include "document/ModelExport.h"
#include "document/ModelFile.h"
#include "document/ReplacementFile.h"
#include "document/RestartParts.h"
#include "document/RunReport.h"
#include "document/TableSamples.h"
#include "document/TextEncoding.h"
#include "engine/FitFigure.h"
#include "engine/Genetico.h"
#include "engine/RunParameters.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
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

// Data that cannot be used; the text says why in one line.
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The data file: in the program's own format loaded as the program loads a document, its
// cells read as numbers with "."; a delimited file as the options describe it.
ImportedData ReadData(const std::string& path, const ImportChoice& choice) {
    try {
        return DataImport::Read(path, choice);
    } catch (const BadCellError& error) {
        throw DataError(error.what());
    } catch (const ImportError& error) {
        throw DataError(path + ": " + error.what());
    } catch (const DocumentError& error) {
        throw DataError(std::string("Error opening the file. Check its format. ") + error.what());
    }
}

// Each validation file as the data file is read; their columns must be the data file's.
std::optional<std::string> AddValidationData(IdentificationRun& run, const IdentifyOptions& options,
                                             const ImportedData& data) {
    for (const std::string& path : options.ValidationPaths) {
        const ImportedData other = ReadData(path, options.Import);
        if (!other.InputNames.empty() && !data.InputNames.empty() &&
            (other.InputNames != data.InputNames || other.OutputName != data.OutputName))
            return "The validation data " + path + " have other columns than " + options.DataPath +
                   ": choose them with --inputs and --output";
        if (auto refusal = run.AddOtherData(path, other.Samples))
            return refusal;
    }
    return std::nullopt;
}

std::string InputsText(int inputs) {
    return std::to_string(inputs) + (inputs == 1 ? " input" : " inputs");
}

// Every data file as the first is read; all must have its columns, by count and, where both
// name them, by name.
std::vector<ImportedData> ReadExperiments(const IdentifyOptions& options) {
    std::vector<ImportedData> experiments;
    for (const std::string& path : options.DataPaths) {
        ImportedData data = ReadData(path, options.Import);
        if (!experiments.empty()) {
            const ImportedData& first = experiments.front();
            const int inputs = first.Samples.Inputs();
            if (data.Samples.Inputs() != inputs)
                throw DataError("The data file " + path + " has " +
                                InputsText(data.Samples.Inputs()) + " where " + options.DataPath +
                                " has " + InputsText(inputs) +
                                ": every data file needs the same columns");
            if (!data.InputNames.empty() && !first.InputNames.empty() &&
                (data.InputNames != first.InputNames || data.OutputName != first.OutputName))
                throw DataError("The data file " + path + " has other columns than " +
                                options.DataPath + ": choose them with --inputs and --output");
        }
        experiments.push_back(std::move(data));
    }
    return experiments;
}

// The experiments to the run: the data file alone as always, or several together.
std::optional<std::string> HandOver(IdentificationRun& run, const IdentifyOptions& options,
                                    const std::vector<ImportedData>& experiments) {
    if (experiments.size() == 1)
        return run.HandOver(experiments.front().Samples);
    std::vector<TableSamples> samples;
    for (const ImportedData& data : experiments)
        samples.push_back(data.Samples);
    return run.HandOver(samples, options.DataPaths);
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

// A file the command writes, named by the option that asked for it.
struct Output {
    std::string Flag;
    std::string Path;
};

// The same file by identity (links and hard links included), or by name when it does not
// exist yet.
bool NamesTheSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error))
        return true;
    std::error_code errorA;
    std::error_code errorB;
    const auto pathA = std::filesystem::weakly_canonical(a, errorA);
    const auto pathB = std::filesystem::weakly_canonical(b, errorB);
    return !errorA && !errorB && pathA == pathB;
}

std::vector<Output> OutputsOf(const IdentifyOptions& options, const std::string& reportPath) {
    std::vector<Output> outputs = {{"--report", reportPath}};
    for (const std::string& path : options.ExportPaths)
        outputs.push_back({"--export", path});
    if (!options.SimulatedOutputPath.empty()) {
        if (options.DataPaths.size() > 1) {
            for (std::size_t k = 1; k <= options.DataPaths.size(); ++k)
                outputs.push_back({"--simulated-output", options.ExperimentOutputPath(k)});
        } else {
            outputs.push_back({"--simulated-output", options.SimulatedOutputPath});
        }
        for (std::size_t k = 1; k <= options.ValidationPaths.size(); ++k)
            outputs.push_back({"--simulated-output", options.ValidationOutputPath(k)});
    }
    return outputs;
}

std::string WhatReplaces(const Output& output) {
    if (output.Flag == "--report")
        return "The report";
    if (output.Flag == "--part")
        return "The part file";
    return output.Flag == "--export" ? "The export" : "The computed output";
}

// Refused before the run, which may be long: an output that would replace the data file or
// another output, a name an export cannot have, or a file that cannot be written.
std::optional<std::string> OutputRefusal(const std::vector<Output>& outputs,
                                         const IdentifyOptions& options) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (const std::string& data : options.DataPaths) {
            if (NamesTheSameFile(outputs[i].Path, data))
                return WhatReplaces(outputs[i]) + " would replace the data file " + data;
        }
        for (const std::string& validation : options.ValidationPaths) {
            if (NamesTheSameFile(outputs[i].Path, validation))
                return WhatReplaces(outputs[i]) + " would replace the validation data " +
                       validation;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (NamesTheSameFile(outputs[i].Path, outputs[j].Path))
                return outputs[j].Flag + " " + outputs[j].Path + " and " + outputs[i].Flag + " " +
                       outputs[i].Path + " are the same file";
        }
    }
    for (const Output& output : outputs) {
        if (output.Flag == "--report")
            continue;
        const std::string cannotCreate = output.Flag == "--export"
                                             ? "Cannot export the model to " + output.Path
                                             : "Cannot create the file " + output.Path;
        try {
            // Made and dropped again: the folder, the name and the file there are checked as
            // the writing will check them.
            const ReplacementFile probe(output.Path, ReplacementFile::Links::Replace, cannotCreate,
                                        cannotCreate);
        } catch (const std::exception& error) {
            return std::string(error.what());
        }
    }
    return std::nullopt;
}

// The refined model and the fit figures after the search's result.
void PrintQuality(const IdentificationRun& run, const IdentifiedModel& result,
                  const std::vector<std::string>& names) {
    if (result.Refined) {
        std::printf("Refined model:\n");
        for (const std::string& line : run.Report().ModelLines(result.Model))
            std::printf("%s\n", Named(line, names).c_str());
    }
    for (const std::string& line : RunReport::FitLines(result))
        std::printf("%s\n", TextEncoding::Printable(line).c_str());
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

// A model read back and judged on the data: no search, no report.
int CheckModel(const IdentifyOptions& options) {
    const ModelFile model = [&] {
        try {
            return ModelFile::Read(options.ModelPath);
        } catch (const DocumentError& error) {
            throw DataError(error.what());
        }
    }();
    const ImportedData data = ReadData(options.DataPath, options.Import);
    std::vector<double> computed;
    try {
        computed = model.Simulate(data.Samples);
    } catch (const DocumentError& error) {
        return Fail(ExitBadUsage,
                    options.ModelPath + " on " + options.DataPath + ": " + error.what());
    }
    if (!options.SimulatedOutputPath.empty()) {
        if (const auto refusal =
                OutputRefusal({{"--simulated-output", options.SimulatedOutputPath}}, options))
            return Fail(ExitBadUsage, *refusal);
    }
    std::vector<double> measured(computed.size());
    for (std::size_t r = 0; r < measured.size(); ++r)
        measured[r] = data.Samples.Row(static_cast<int>(r)).back();
    std::printf("%s\n", RunReport::FitLine("validation", FitFigure::Percent(measured, computed, 0,
                                                                            measured.size()))
                            .c_str());
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
    session.experiments = ReadExperiments(options);
    const ImportedData& data = session.Data();
    session.sampleTime = options.SampleTime ? options.SampleTime : data.SampleTime;
    session.run.SampleTime = session.sampleTime;
    for (const ImportedData& experiment : session.experiments) {
        session.run.FilledCells += experiment.FilledCells;
        session.identity.DataChecksum += (session.identity.DataChecksum.empty() ? "" : ",") +
                                         RestartParts::Checksum(experiment.Samples);
    }
    if (auto refusal = HandOver(session.run, options, session.experiments))
        return refusal;
    if (auto refusal = AddValidationData(session.run, options, data))
        return refusal;
    // The samples are released once the engine holds its copy.
    for (ImportedData& experiment : session.experiments)
        experiment.Samples = TableSamples();
    return std::nullopt;
}

std::string ReportPathOf(const IdentifyOptions& options) {
    return options.ReportPath.empty() ? RunReport::ReportPathFor(options.DataPath)
                                      : options.ReportPath;
}

// Every output checked, then the report begun; the refusal's message.
std::optional<std::string> BeginReport(Session& session) {
    const std::string reportPath = ReportPathOf(session.options);
    if (auto refusal = OutputRefusal(OutputsOf(session.options, reportPath), session.options))
        return refusal;
    try {
        session.run.BeginReport(reportPath);
    } catch (const std::exception& error) {
        return error.what();
    }
    return std::nullopt;
}

// A signal asks the engine to stop; the progress is shown unless quiet.
void Watch(Session& session, const StopSignals& signals, ProgressDisplay& progress) {
    const auto stopWhenSignalled = [&session, &signals] {
        if (signals.Requested())
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

// What the command prints and writes once the run, or the merge, ended with `failure`.
int Conclude(Session& session, const std::string& failure, const StopSignals& signals) {
    const IdentificationRun& run = session.run;
    const IdentifyOptions& options = session.options;
    if (!run.HasModel()) {
        Fail(ExitRunFailed, failure);
        return signals.Requested() ? signals.ExitStatus() : ExitRunFailed;
    }
    const std::vector<std::string>& names = session.Data().InputNames;
    const std::vector<std::string> lines = run.Report().OptimumLines(run.KeptSearchModel());
    std::printf("%s\n", lines.back().c_str());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        std::printf("%s\n", Named(lines[i], names).c_str());
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
        return signals.Requested() ? signals.ExitStatus() : ExitRunFailed;
    }
    if (run.Result()) {
        const std::vector<std::string> failures =
            WriteOutputs(run, session.engine, options, session.seed, session.Data());
        for (const std::string& message : failures)
            Fail(ExitRunFailed, message);
        if (!failures.empty())
            return ExitRunFailed;
    }
    return signals.Requested() ? signals.ExitStatus() : ExitSuccess;
}

int Identify(const IdentifyOptions& options) {
    StopSignals signals;
    Session session(options, options.SeedMilliseconds.value_or(Rnd::CurrentMilliseconds()));
    if (const auto refusal = HandOver(session))
        return Fail(ExitBadUsage, *refusal);
    if (const auto refusal = BeginReport(session))
        return Fail(ExitBadUsage, *refusal);
    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    signals.RemoveOnSecondSignal(session.run.Report().TemporaryPath());
    Watch(session, signals, progress);
    const std::string failure = session.run.Run();
    signals.RemoveOnSecondSignal({});
    progress.Finish();
    return Conclude(session, failure, signals);
}

// A slice's part, or the status and message it failed with.
struct SliceOutcome {
    int Status = ExitSuccess;
    std::string Failure;
    RestartParts::Part Part;
};

SliceOutcome RunSlice(const IdentifyOptions& options, int seed,
                      IdentificationRun::RestartSlice slice, const StopSignals& signals) {
    Session session(options, seed);
    if (const auto refusal = HandOver(session))
        return {ExitBadUsage, *refusal, {}};
    session.run.Slice = slice;
    std::string rows;
    session.run.OnRow = [&rows, &session](const TGenetico& engine) {
        rows += session.run.Report().EvolutionRowText(engine);
    };
    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    Watch(session, signals, progress);
    const std::string failure = session.run.Run();
    progress.Finish();
    if (!failure.empty())
        return {ExitRunFailed, failure, {}};
    if (session.run.Stopped() != IdentificationRun::StopPhase::None)
        return {signals.Requested() ? signals.ExitStatus() : ExitRunFailed,
                "Stopped: no part is written for a stopped slice",
                {}};
    return {ExitSuccess,
            {},
            {session.identity, slice.Index, slice.Count, std::move(rows),
             session.run.LastGeneration(), session.run.SliceSearches()}};
}

// "searches 1, 5 of 8", or "no search of 2" for a slice beyond the searches.
std::string SearchesOf(const RestartParts::Part& part) {
    std::string list;
    for (const IdentificationRun::FinishedSearch& search : part.Searches)
        list += (list.empty() ? "" : ", ") + std::to_string(search.Index);
    return (list.empty() ? "no search" : "searches " + list) + " of " +
           std::to_string(part.Run.Restarts);
}

int WriteSlice(const IdentifyOptions& options) {
    if (const auto refusal = OutputRefusal({{"--part", options.PartPath}}, options))
        return Fail(ExitBadUsage, *refusal);
    StopSignals signals;
    const IdentifyOptions::SliceChoice slice = *options.RestartSlice;
    SliceOutcome outcome =
        RunSlice(options, *options.SeedMilliseconds, {slice.Index, slice.Count}, signals);
    if (outcome.Status != ExitSuccess)
        return Fail(outcome.Status, outcome.Failure);
    try {
        const StopSignals::Deferred deferred;
        RestartParts::Write(options.PartPath, outcome.Part);
    } catch (const std::exception& error) {
        return Fail(ExitRunFailed, error.what());
    }
    std::printf("Slice %d of %d: %s written to %s\n", slice.Index, slice.Count,
                SearchesOf(outcome.Part).c_str(), options.PartPath.c_str());
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

// The parts merged into what the run in one process writes; --seed-ms may be left out.
int Merge(const IdentifyOptions& options, const NamedParts& parts) {
    StopSignals signals;
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
    const std::string failure =
        session.run.RunMerged(all.Searches, all.EvolutionRows, all.LastGeneration);
    return Conclude(session, failure, signals);
}

int MergeFiles(const IdentifyOptions& options) {
    NamedParts parts;
    for (const std::string& path : options.MergePaths) {
        try {
            parts.emplace_back(path, RestartParts::Read(path));
        } catch (const DocumentError& error) {
            return Fail(ExitBadUsage, error.what());
        }
    }
    return Merge(options, parts);
}

// What the command line asks for in one process.
int Dispatch(const IdentifyOptions& options) {
    if (!options.ModelPath.empty())
        return CheckModel(options);
    if (!options.MergePaths.empty())
        return MergeFiles(options);
    if (options.RestartSlice)
        return WriteSlice(options);
    return Identify(options);
}

#if ORVANEL_MPI
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
        if (const auto refusal = OutputRefusal(OutputsOf(options, ReportPathOf(options)), options))
            refused = Fail(ExitBadUsage, *refusal);
    }
    refused = ranks.FromFirst(refused);
    if (refused != ExitSuccess)
        return refused;
    if (!options.MergePaths.empty())
        return first ? MergeFiles(options) : ExitSuccess;
    const int seed =
        ranks.FromFirst(options.SeedMilliseconds.value_or(Rnd::CurrentMilliseconds()));
    IdentifyOptions own = options;
    own.Quiet = options.Quiet || !first;
    StopSignals signals;
    SliceOutcome outcome;
    try {
        outcome = RunSlice(own, seed, {ranks.Rank(), ranks.Size()}, signals);
    } catch (const DataError& error) {
        outcome = {ExitBadUsage, error.what(), {}};
    } catch (const std::exception& error) {
        outcome = {ExitRunFailed, error.what(), {}};
    }
    const auto gathered = ranks.Gather(
        outcome.Status,
        outcome.Status == ExitSuccess ? RestartParts::Text(outcome.Part) : outcome.Failure);
    if (!first)
        return outcome.Status;
    NamedParts parts;
    for (std::size_t r = 0; r < gathered.size(); ++r) {
        const std::string name = "the part of process " + std::to_string(r);
        if (gathered[r].first != ExitSuccess)
            return Fail(gathered[r].first,
                        r == 0 ? gathered[r].second : "process " + std::to_string(r) + ": " +
                                                          gathered[r].second);
        try {
            parts.emplace_back(name, RestartParts::Parse(gathered[r].second, name));
        } catch (const DocumentError& error) {
            return Fail(ExitRunFailed, error.what());
        }
    }
    IdentifyOptions merging = options;
    merging.SeedMilliseconds = seed;
    return Merge(merging, parts);
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
