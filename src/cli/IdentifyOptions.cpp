#include "cli/IdentifyOptions.h"

#include "document/formats/ModelExport.h"
#include "engine/search/Genetico.h"
#include "engine/search/RunParameters.h"
#include "model/NumberText.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace orvanel {
namespace {

constexpr int MaxThreads = 1024;
constexpr int MaxSeedMilliseconds = 999;
constexpr int MaxSlices = 1024;

int IntegerWithin(std::string_view flag, std::string_view text, int min, int max) {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < min ||
        value > max) {
        throw UsageError(std::string(flag) + " needs an integer from " + std::to_string(min) +
                         " to " + std::to_string(max) + ", not \"" + std::string(text) + "\"");
    }
    return value;
}

double PositiveSeconds(std::string_view flag, std::string_view text) {
    const std::optional<double> value = ParseNumber(text);
    if (!value || !(*value > 0.0) || !std::isfinite(*value))
        throw UsageError(std::string(flag) + " needs a positive number of seconds, not \"" +
                         std::string(text) + "\"");
    return *value;
}

// "K/M" with 0 <= K < M.
IdentifyOptions::SliceChoice SliceNamed(const std::string& text) {
    const std::size_t slash = text.find('/');
    const std::string refusal =
        "--restart-slice needs K/M, slice K of M from 0 to M - 1 (such as 2/4; M up to " +
        std::to_string(MaxSlices) + "), not \"" + text + "\"";
    if (slash == std::string::npos)
        throw UsageError(refusal);
    IdentifyOptions::SliceChoice slice;
    const std::string_view index(text.data(), slash);
    const std::string_view count(text.data() + slash + 1, text.size() - slash - 1);
    const auto a = std::from_chars(index.data(), index.data() + index.size(), slice.Index);
    const auto b = std::from_chars(count.data(), count.data() + count.size(), slice.Count);
    if (a.ec != std::errc() || a.ptr != index.data() + index.size() || b.ec != std::errc() ||
        b.ptr != count.data() + count.size() || slice.Count < 1 || slice.Count > MaxSlices ||
        slice.Index < 0 || slice.Index >= slice.Count)
        throw UsageError(refusal);
    return slice;
}

// Refused before the run, which may be long, rather than after it.
std::string ExportPath(const std::string& path) {
    if (path.empty())
        throw UsageError("--export needs a file path");
    if (const std::optional<std::string> refusal = ModelExport::Refusal(path))
        throw UsageError("--export " + path + ": " + *refusal);
    return path;
}

// The option a CLI11 message is about: its first word, which names it with or without dashes.
std::string OptionNamed(const CLI::ParseError& error) {
    const std::string text = error.what();
    const std::string name = text.substr(0, text.find_first_of(": "));
    return name.starts_with('-') ? name : "--" + name;
}

std::string WithoutValue(const std::string& argument) {
    return argument.substr(0, argument.find('='));
}

// Each value is checked by the rule of its parameter as CLI11 hands it over.
void AddParameters(CLI::App& app, IdentifyOptions& options) {
    for (const RunParameter* parameter : RunParameters::All()) {
        app.add_option_function<std::string>(
            std::string(parameter->Flag), [&options, parameter](const std::string& text) {
                options.Parameters.emplace_back(parameter, parameter->ParseCommandValue(text));
            });
    }
}

void AddIdentificationOptions(CLI::App& app, IdentifyOptions& options) {
    for (const IdentificationOption* option : IdentificationOption::All()) {
        const std::string flag(option->Flag);
        if (option->Type == IdentificationOption::Kind::Switch) {
            app.add_flag_callback(
                   flag, [&options, option] { option->Store(options.Identification, 1.0); })
                ->disable_flag_override();
            continue;
        }
        app.add_option_function<std::string>(flag, [&options, option](const std::string& text) {
            option->Store(options.Identification, option->ParseCommandValue(text));
        });
    }
}

std::vector<std::string> CommaSeparated(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

void AddImportOptions(CLI::App& app, ImportChoice& choice) {
    app.add_option_function<std::string>("--delimiter", [&choice](const std::string& text) {
        choice.Delimiter = DelimitedFormat::DelimiterNamed(text);
        if (!choice.Delimiter)
            throw UsageError("--delimiter needs tab, comma, semicolon or space, not \"" + text +
                             "\"");
    });
    app.add_option_function<std::string>("--decimal", [&choice](const std::string& text) {
        if (text != "." && text != "," && text != "point" && text != "comma")
            throw UsageError("--decimal needs \".\" or \",\", not \"" + text + "\"");
        choice.Decimal = text == "," || text == "comma" ? ',' : '.';
    });
    app.add_option_function<std::string>("--header", [&choice](const std::string& text) {
        if (text != "yes" && text != "no")
            throw UsageError("--header needs yes or no, not \"" + text + "\"");
        choice.Header = text == "yes";
    });
    app.add_option_function<std::string>("--output", [&choice](const std::string& text) {
        if (text.empty())
            throw UsageError("--output needs a column name or number");
        choice.Output = text;
    });
    app.add_option_function<std::string>("--inputs", [&choice](const std::string& text) {
        choice.Inputs = CommaSeparated(text);
        if (std::find(choice.Inputs.begin(), choice.Inputs.end(), "") != choice.Inputs.end())
            throw UsageError("--inputs needs column names or numbers separated by commas, not \"" +
                             text + "\"");
    });
    app.add_option_function<std::string>("--time", [&choice](const std::string& text) {
        if (text.empty())
            throw UsageError("--time needs a column name or number, or none");
        choice.Time = text;
    });
    app.add_option_function<std::string>("--fill-missing", [&choice](const std::string& text) {
        if (text != "linear")
            throw UsageError("--fill-missing needs linear, not \"" + text + "\"");
        choice.FillMissing = true;
    });
}

void AddCommandOptions(CLI::App& app, IdentifyOptions& options) {
    app.add_option_function<std::string>("--seed-ms", [&options](const std::string& text) {
        options.SeedMilliseconds = IntegerWithin("--seed-ms", text, 0, MaxSeedMilliseconds);
    });
    app.add_option_function<std::string>("--threads", [&options](const std::string& text) {
        options.Threads = IntegerWithin("--threads", text, 0, MaxThreads);
    });
    app.add_option("--report", options.ReportPath);
    app.add_option_function<std::vector<std::string>>(
           "--export",
           [&options](const std::vector<std::string>& paths) {
               for (const std::string& path : paths)
                   options.ExportPaths.push_back(ExportPath(path));
           })
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option_function<std::string>("--sample-time", [&options](const std::string& text) {
        options.SampleTime = PositiveSeconds("--sample-time", text);
    });
    app.add_option("--simulated-output", options.SimulatedOutputPath);
    app.add_option("--model", options.ModelPath);
    app.add_option("--validation-data", options.ValidationPaths)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option_function<std::string>("--restart-slice", [&options](const std::string& text) {
        options.RestartSlice = SliceNamed(text);
    });
    app.add_option("--part", options.PartPath);
    app.add_option("--merge", options.MergePaths)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    AddImportOptions(app, options.Import);
    app.add_flag("--quiet", options.Quiet)->disable_flag_override();
    app.add_flag("--summary", options.Summary)->disable_flag_override();
    app.add_flag("-h,--help", options.Help)->disable_flag_override();
    app.add_option("data", options.DataPath);
}

// What CLI11 left over, in the order given: an unknown option, refused, or further data
// files, returned. After "--" every argument is a data file.
std::vector<std::string> FurtherDataFiles(const std::vector<std::string>& extras) {
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const std::string& argument : extras) {
        if (argument == "--" && !optionsEnded) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.size() > 1 && argument.front() == '-')
            throw UsageError("Unknown option " + WithoutValue(argument) + " (see --help)");
        files.push_back(argument);
    }
    return files;
}

// The arguments as CLI11 takes them: last first. An empty "--name=" value is handed over as
// an empty argument: CLI11 would take the next argument in its place.
std::vector<std::string> CliArguments(std::span<const std::string_view> arguments) {
    std::vector<std::string> reversed;
    bool optionsEnded = false;
    for (const std::string_view argument : arguments) {
        optionsEnded = optionsEnded || argument == "--";
        if (!optionsEnded && argument.starts_with("--") && argument.ends_with('=')) {
            reversed.emplace_back(argument.substr(0, argument.size() - 1));
            reversed.emplace_back();
        } else {
            reversed.emplace_back(argument);
        }
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

// A slice writes its part file and nothing else; a merge runs no search.
void RefuseSliceConflicts(const CLI::App& app, const IdentifyOptions& options) {
    if (app["--merge"]->count() > 0 &&
        std::find(options.MergePaths.begin(), options.MergePaths.end(), "") !=
            options.MergePaths.end())
        throw UsageError("--merge needs part files");
    if (!options.MergePaths.empty() && (options.RestartSlice || !options.ModelPath.empty()))
        throw UsageError(std::string("--merge and ") +
                         (options.RestartSlice ? "--restart-slice" : "--model") +
                         " cannot be given together");
    if (!options.PartPath.empty() && !options.RestartSlice)
        throw UsageError("--part is the file --restart-slice writes: give both");
    if (!options.RestartSlice)
        return;
    if (options.PartPath.empty())
        throw UsageError("--restart-slice needs --part FILE, where its searches are written");
    if (!options.SeedMilliseconds)
        throw UsageError("--restart-slice needs --seed-ms: every slice derives its searches "
                         "from the same seed");
    if (!options.ModelPath.empty())
        throw UsageError("--restart-slice and --model cannot be given together: --model runs "
                         "no search");
    for (const char* flag :
         {"--report", "--export", "--simulated-output", "--validation-data", "--summary"}) {
        if (app[flag]->count() > 0)
            throw UsageError(std::string("--restart-slice writes its part file only: give ") +
                             flag + " to the --merge");
    }
}

// A model read back is only simulated on the data file: whatever searches, reports, exports
// or judges other files has nothing to act on.
void RefuseModelConflicts(const CLI::App& app, const IdentifyOptions& options) {
    if (options.ModelPath.empty())
        return;
    if (!options.ValidationPaths.empty())
        throw UsageError("--model judges the model on the data file alone: give each file of "
                         "--validation-data as the data file of a --model run of its own");
    std::vector<std::string> flags = {"--report",  "--export",  "--summary",
                                      "--seed-ms", "--threads", "--sample-time"};
    for (const RunParameter* parameter : RunParameters::All())
        flags.emplace_back(parameter->Flag);
    for (const IdentificationOption* option : IdentificationOption::All())
        flags.emplace_back(option->Flag);
    for (const std::string& flag : flags) {
        if (app[flag]->count() > 0)
            throw UsageError("--model only simulates the model on the data file: " + flag +
                             " cannot be given with it");
    }
}

} // namespace

IdentifyOptions IdentifyOptions::Parse(std::span<const std::string_view> arguments) {
    IdentifyOptions options;
    CLI::App app("orvanel-identify");
    app.set_help_flag();
    app.allow_extras();
    // An option given twice takes its last value.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    AddParameters(app, options);
    AddIdentificationOptions(app, options);
    AddCommandOptions(app, options);
    std::vector<std::string> reversed = CliArguments(arguments);
    try {
        app.parse(reversed);
    } catch (const CLI::ArgumentMismatch& error) {
        const std::string name = OptionNamed(error);
        const CLI::Option* option = app.get_option_no_throw(name);
        if (option != nullptr && option->get_expected_max() == 0)
            throw UsageError(name + " takes no value");
        throw UsageError(name + " needs a value");
    } catch (const ParameterValueError& error) {
        throw UsageError(error.what());
    } catch (const CLI::ParseError& error) {
        throw UsageError(error.what());
    }
    const std::vector<std::string> further = FurtherDataFiles(app.remaining());
    // "--report=" gives the option without a value.
    if (app["--report"]->count() > 0 && options.ReportPath.empty())
        throw UsageError("--report needs a file path");
    if (app["--simulated-output"]->count() > 0 && options.SimulatedOutputPath.empty())
        throw UsageError("--simulated-output needs a file path");
    if (app["--model"]->count() > 0 && options.ModelPath.empty())
        throw UsageError("--model needs a file path");
    if (app["--part"]->count() > 0 && options.PartPath.empty())
        throw UsageError("--part needs a file path");
    // "--merge PART... DATA": the data file is the last value when no other was given.
    if (options.DataPath.empty() && options.MergePaths.size() > 1) {
        options.DataPath = options.MergePaths.back();
        options.MergePaths.pop_back();
    }
    if (options.DataPath.empty() && !options.Help)
        throw UsageError("No data file given (see --help)");
    RefuseSliceConflicts(app, options);
    options.DataPaths = {options.DataPath};
    options.DataPaths.insert(options.DataPaths.end(), further.begin(), further.end());
    if (!options.ModelPath.empty() && options.DataPaths.size() > 1)
        throw UsageError("--model takes one data file; \"" + further.front() +
                         "\" is a second one");
    RefuseModelConflicts(app, options);
    if (!options.ValidationPaths.empty() && options.Identification.ValidationPercent > 0.0)
        throw UsageError("--validation-data and --validation-percent cannot be given together: "
                         "the model is judged on other files or on the data file's last rows");
    if (std::find(options.ValidationPaths.begin(), options.ValidationPaths.end(), "") !=
        options.ValidationPaths.end())
        throw UsageError("--validation-data needs a file path");
    return options;
}

std::string IdentifyOptions::ValidationOutputPath(std::size_t k) const {
    return SimulatedOutputWith("-validation-" + std::to_string(k));
}

std::string IdentifyOptions::ExperimentOutputPath(std::size_t k) const {
    return SimulatedOutputWith("-experiment-" + std::to_string(k));
}

std::string IdentifyOptions::SimulatedOutputWith(const std::string& tag) const {
    const std::size_t slash = SimulatedOutputPath.rfind('/');
    std::size_t dot = SimulatedOutputPath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        dot = SimulatedOutputPath.size();
    return SimulatedOutputPath.substr(0, dot) + tag + SimulatedOutputPath.substr(dot);
}

void IdentifyOptions::ApplyTo(TGenetico& engine) const {
    for (const auto& [parameter, value] : Parameters)
        parameter->Store(engine, value);
    engine.ThreadCount = Threads;
}

std::string IdentifyOptions::HelpText() {
    std::string text = R"(Usage: orvanel-identify DATA.txt [MORE.txt...] [options]

Identifies a multi-input single-output transfer-function model from the samples in DATA.txt
(TAB-separated, one line per sample, the inputs first and the output in the last column;
numbers with "." as the decimal separator) and writes the run report. Delimited files with a
header row and a time column (.csv, .tsv, or any file the options below describe) are read
too: comma, semicolon, TAB or spaces between cells, "." or "," as the decimal mark; and MATLAB
data files (.mat, versions 5 and 7.3): one numeric matrix whose columns are the signals,
named data(:,1), data(:,2)..., or one numeric vector per signal, named by its variable.

Several data files are experiments on one process, identified together: every file must have
the first one's columns (as many and, where both name them, the same names). The squared
error is summed over all of them, each simulated from rest at its first row and, with
--remove-offsets, taken around its own means; --validation-percent holds out the last P % of
the rows of each. The fit figures are given per experiment, "Fit (estimation, FILE) = F %",
and over all of them, each around its own mean; the report is named after the first file.

Options (defaults in brackets):
)";
    for (const RunParameter* parameter : RunParameters::All())
        text += parameter->HelpLines();
    for (const IdentificationOption* option : IdentificationOption::All())
        text += option->HelpLines();
    text +=
        R"(  --seed-ms MS                   seed the random source as if the clock read MS milliseconds
                                 (0 to 999) [the clock's milliseconds]
  --threads N                    threads that evaluate models; 0 uses every core [0]
  --report PATH                  where to write the report [DATA's name with "_Report.txt"
                                 in place of its extension, next to it]
  --export PATH                  write the model found to PATH when the run succeeds, as JSON
                                 (.json), a MATLAB/Octave script (.m) or a Python script
                                 with scipy (.py); may be given more than once
  --sample-time SECONDS          the time between samples, recorded in the exports [unset]
  --simulated-output PATH        write the model's output over all rows there, one value
                                 per line with 17 significant digits; with --validation-data
                                 also each validation file's, to PATH with -validation-K
                                 before its extension (out.txt: out-validation-1.txt...);
                                 with several data files one file per data file K instead of
                                 PATH, to PATH with -experiment-K (out-experiment-1.txt...)
  --model MODEL.json             no search: simulate a model exported as JSON on the data
                                 file from zero state, print "Fit (validation) = F %" and
                                 write --simulated-output; no report. Where the model and
                                 the data both name their columns, each input is taken by
                                 its name (unless --inputs chooses them); only the reading
                                 options, --simulated-output and --quiet go with it
  --validation-data FILE         judge the model on another experiment (read as the data
                                 file is, with the same column choices) instead of the data
                                 file's last rows; may be given more than once. With
                                 --remove-offsets it is taken around the estimation means,
                                 as the exported model takes it ("Fit (validation, FILE,
                                 around the estimation means) = F %")
  --delimiter tab|comma|semicolon|space
                                 the cells' delimiter in a delimited file [detected]
  --decimal .|,                  its decimal mark [detected; "," only without comma delimiter]
  --header yes|no                whether its first line names the columns [detected]
  --output NAME|NUMBER           the output column, by name or number from 1 [the last]
  --inputs NAME,NAME...          the input columns [every column but the output and time]
  --time NAME|NUMBER|none        the time column, which gives the sample time [a column named
                                 time, t or timestamp, else the first if it rises evenly]
  --fill-missing linear          fill cells that are empty or no number by interpolating
                                 between their neighbours (counted in the report) [refuse]
  --summary                      after the model, each input's figures: static gain, delay,
                                 time constants, damping, zeros in s, a first-order-plus-
                                 dead-time approximation, step figures, the coefficients'
                                 standard deviations and SIMC PI/PID settings (in seconds with
                                 a sample time, else in samples)
  --restart-slice K/M            run only slice K of M of the searches (0 <= K < M): those
                                 whose index is K modulo M, the run's own search being index 0
                                 (in slice 0) and restart k index k, each from the seed it has
                                 in the whole run; writes --part instead of a report. Needs
                                 --seed-ms, the same in every slice
  --part PATH                    where --restart-slice writes its part file (JSON): each
                                 search's model to the last bit, its score, index and seed,
                                 the data's checksum, the options, the searches and slices
  --merge PART... [DATA]         no search: the part files of all M slices give the model,
                                 report, exports and computed output that the same run in
                                 one process gives. The options must be the slices' (--seed-ms
                                 may be left out); the last PART is the data file when no
                                 other is given (several data files go before --merge or
                                 after --). Parts of another run (data, options,
                                 searches, slices), a slice twice or a slice missing are
                                 refused, naming the file or the slice to rerun
  --quiet                        no progress on standard error
  --help                         this text
  --                             ends the options: what follows are data files

The result goes to standard output: the objective and one "Input i: numerator/denominator"
line per input; with --refine the refined model under "Refined model:"; then
"Fit (estimation) = F %" and, with a validation part, "Fit (validation) = F %". Every output
file is checked before the search starts: none may be the data file or another output.
With --summary, or when a JSON export is written, every doubt about the model (a pole slower
than the data are long, a pole and a zero that cancel, a gain out of scale, a pole on the
negative real axis, a zero outside the unit circle) goes to standard error as a
"Warning: Input i: ..." line.

Ctrl+C, SIGTERM or SIGHUP stop the run after its current step: the report is completed and
says where the run stopped, the model found so far is printed, and no export or computed
output is written (the files of an earlier run stay as they were). The run says so on
standard error; a signal a second or more after that ends the program at once, while signals
that arrive together (a time bound sends one to the program and to its group) are one. A run whose search fails after a generation (such as "Todos Iguales")
prints the best model of that generation, ends its report with it and writes no export.

Started by mpirun with P processes, the run spreads its searches (--restarts) over them:
process r runs slice r/P, the first gathers the parts, merges them and alone prints and writes
files. The model is the one the run in one process finds, whatever P. Without --seed-ms all use
the first process's clock. A stop to mpirun or to any process stops them all, and the first
merges what they finished.

Exit status: 0 success, 1 the run ended with an error (the report is still completed) or an
output could not be written, 2 bad usage or unreadable data, 130 (SIGINT) or 143 (SIGTERM,
SIGHUP) stopped by a signal.
)";
    return text;
}

} // namespace orvanel
