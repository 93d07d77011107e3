// orvanel-identify: one identification run on a data file, without the window.
#include "cli/IdentifyOptions.h"
#include "cli/ProgressDisplay.h"
#include "cli/StopSignals.h"
#include "document/Document.h"
#include "document/IdentificationRun.h"
#include "document/ModelExport.h"
#include "document/RunReport.h"
#include "document/TableSamples.h"
#include "engine/Genetico.h"

#include <cstdio>
#include <exception>
#include <filesystem>
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
    std::fprintf(stderr, "orvanel-identify: %s\n", message.c_str());
    return status;
}

// Data that cannot be used; the text says why in one line.
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file loaded as the program loads a document, its cells read as numbers with ".".
TableSamples ReadSamples(const std::string& path) {
    Document document("");
    try {
        document.LoadDocument(path);
    } catch (const DocumentError& error) {
        throw DataError(std::string("Error opening the file. Check its format. ") + error.what());
    }
    try {
        return TableSamples::FromTable(document.Table());
    } catch (const BadCellError& error) {
        throw DataError(error.what());
    }
}

bool NamesTheSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

// The refined model and the fit figures after the search's result; the computed output to its
// file when asked for.
void PrintQuality(const IdentificationRun& run, const IdentifiedModel& result,
                  const IdentifyOptions& options) {
    if (result.Refined) {
        std::printf("Refined model:\n");
        for (const std::string& line : run.Report().ModelLines(result.Model))
            std::printf("%s\n", line.c_str());
    }
    std::printf("%s\n", RunReport::FitLine("estimation", result.EstimationFit).c_str());
    if (result.ValidationBegins < result.Computed.size())
        std::printf("%s\n", RunReport::FitLine("validation", result.ValidationFit).c_str());
    if (!options.SimulatedOutputPath.empty())
        run.WriteComputedOutput(options.SimulatedOutputPath);
}

int Identify(const IdentifyOptions& options) {
    StopSignals signals;
    const int seed = options.SeedMilliseconds.value_or(Rnd::CurrentMilliseconds());
    TGenetico engine(seed);
    options.ApplyTo(engine);
    IdentificationRun run(engine);
    run.Options = options.Identification;
    // The table read from the file is released once the engine holds its copy.
    if (const auto refusal = run.HandOver(ReadSamples(options.DataPath)))
        return Fail(ExitBadUsage, *refusal);

    const std::string reportPath = options.ReportPath.empty()
                                       ? RunReport::ReportPathFor(options.DataPath)
                                       : options.ReportPath;
    if (NamesTheSameFile(reportPath, options.DataPath))
        return Fail(ExitBadUsage, "The report would replace the data file " + options.DataPath);
    for (const std::string& path : options.ExportPaths) {
        if (NamesTheSameFile(path, options.DataPath))
            return Fail(ExitBadUsage, "The export would replace the data file " + options.DataPath);
    }
    try {
        run.BeginReport(reportPath);
    } catch (const std::exception& error) {
        return Fail(ExitBadUsage, error.what());
    }

    ProgressDisplay progress(stderr, isatty(fileno(stderr)) != 0);
    signals.RemoveOnSecondSignal(run.Report().TemporaryPath());
    const auto stopWhenSignalled = [&] {
        if (signals.Requested())
            engine.RequestStop();
    };
    run.OnProgress = [&] {
        stopWhenSignalled();
        if (!options.Quiet)
            progress.Update(engine);
    };
    run.OnResponsive = stopWhenSignalled;
    // A stopped engine counts its generations as all done; the last row tells where it stopped.
    int lastGeneration = 0;
    run.OnRow = [&](const TGenetico& e) { lastGeneration = e.Generation(); };
    const std::string failure = run.Run();
    signals.RemoveOnSecondSignal({});
    progress.Finish();
    if (!failure.empty())
        return Fail(ExitRunFailed, failure);

    const std::vector<std::string> lines = run.Report().OptimumLines(engine.BestModel());
    std::printf("%s\n", lines.back().c_str());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        std::printf("%s\n", lines[i].c_str());
    if (const auto& result = run.Result())
        PrintQuality(run, *result, options);
    // A script reads the result from here: losing it (a full disk, a closed pipe) is no success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Fail(ExitRunFailed, "The result could not be written to standard output");
    if (!options.ExportPaths.empty() && run.Result()) {
        const ModelExport description =
            ModelExport::Of(run, engine, options.DataPath, seed, options.SampleTime);
        for (const std::string& path : options.ExportPaths)
            description.Write(path);
    }
    if (signals.Requested()) {
        std::fprintf(stderr, "Stopped at generation %d.\n", lastGeneration);
        return signals.ExitStatus();
    }
    return ExitSuccess;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    IdentifyOptions options;
    try {
        options = IdentifyOptions::Parse(arguments);
    } catch (const UsageError& error) {
        return Fail(ExitBadUsage, error.what());
    }
    if (options.Help) {
        std::fputs(IdentifyOptions::HelpText().c_str(), stdout);
        return ExitSuccess;
    }
    try {
        return Identify(options);
    } catch (const DataError& error) {
        return Fail(ExitBadUsage, error.what());
    } catch (const std::exception& error) {
        return Fail(ExitRunFailed, error.what());
    }
}
