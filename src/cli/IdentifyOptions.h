// The command line of orvanel-identify.
#pragma once

#include "document/formats/DataImport.h"
#include "document/run/IdentificationOptions.h"

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvanel {

class TGenetico;

// A command line that cannot be used; the text says what is wrong in one line.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct RunParameter;

// What the command line asks for. Unset parameters keep the engine's defaults.
struct IdentifyOptions {
    // The first data file; with several, DataPaths holds them all in order: experiments
    // with the same columns identified together.
    std::string DataPath;
    std::vector<std::string> DataPaths;
    // The run parameters given, in the order of the command line.
    std::vector<std::pair<const RunParameter*, double>> Parameters;
    std::optional<int> SeedMilliseconds;
    int Threads = 0;
    std::string ReportPath;
    // Where to export the model found, each in the format of its extension.
    std::vector<std::string> ExportPaths;
    // Seconds between samples, recorded in the exports.
    std::optional<double> SampleTime;
    // The steps around the search; all off unless asked for.
    IdentificationOptions Identification;
    // How a delimited data file is read: delimiter, decimal mark and column roles.
    ImportChoice Import;
    // Where to write the computed output over all rows; empty: nowhere.
    std::string SimulatedOutputPath;
    // A model exported as JSON to simulate on the data instead of searching for one.
    std::string ModelPath;
    // Other experiments to judge the model on, instead of the data file's last rows.
    std::vector<std::string> ValidationPaths;

    // --restart-slice K/M: run only the searches whose index is K modulo M and write them to
    // PartPath instead of a report.
    struct SliceChoice {
        int Index = 0;
        int Count = 1;
    };
    std::optional<SliceChoice> RestartSlice;
    std::string PartPath;
    // --merge: the part files of every slice, merged into the result of the run in one process.
    std::vector<std::string> MergePaths;

    // Where the computed output of validation file k (from 1) goes: SimulatedOutputPath with
    // "-validation-k" before its extension.
    std::string ValidationOutputPath(std::size_t k) const;
    // Where the computed output of data file k (from 1) of several goes: SimulatedOutputPath
    // with "-experiment-k" before its extension.
    std::string ExperimentOutputPath(std::size_t k) const;
    bool Quiet = false;
    // Print each input's process figures after the model, and every warning on standard error.
    bool Summary = false;
    bool Help = false;

    // Reads the arguments after the program name; "--" ends the options. Throws UsageError
    // for an unknown option, a missing value, a value outside the parameter's range (naming
    // the flag and the value), an export name of unknown extension, a missing data file or
    // a second one with --model. With --help nothing else is required.
    static IdentifyOptions Parse(std::span<const std::string_view> arguments);

    // Stores the parameters that were given through the setters the options dialog uses.
    void ApplyTo(TGenetico& engine) const;

    // The --help text.
    static std::string HelpText();

private:
    // SimulatedOutputPath with tag before its extension.
    std::string SimulatedOutputWith(const std::string& tag) const;
};

} // namespace orvanel
