#include "cli/IdentifyOptions.h"

#include "engine/Genetico.h"
#include "model/NumberText.h"

#include <charconv>
#include <functional>
#include <map>

namespace orvanel {
namespace {

int ReadInteger(std::string_view option, std::string_view text, int min, int max) {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || value < min ||
        value > max) {
        throw UsageError(std::string(option) + " needs an integer from " + std::to_string(min) +
                         " to " + std::to_string(max) + ", not \"" + std::string(text) + "\"");
    }
    return value;
}

double ReadDecimal(std::string_view option, std::string_view text, double min, double max,
                   std::string_view range) {
    const std::optional<double> value = ParseNumber(text);
    if (!value || *value < min || *value > max) {
        throw UsageError(std::string(option) + " needs a number " + std::string(range) +
                         ", not \"" + std::string(text) + "\"");
    }
    return *value;
}

int ReadSelection(std::string_view text) {
    if (text == "sigma")
        return 0;
    if (text == "tournament")
        return 1;
    if (text == "rank")
        return 2;
    throw UsageError("--selection needs sigma, tournament or rank, not \"" + std::string(text) +
                     "\"");
}

constexpr int MaxCount = 1000000000;
constexpr double Unbounded = 1.7976931348623157e308;

using ValueReader =
    std::function<void(IdentifyOptions&, std::string_view option, std::string_view value)>;

const std::map<std::string_view, ValueReader>& ValueOptions() {
    static const std::map<std::string_view, ValueReader> readers = {
        {"--population", [](IdentifyOptions& o, auto name,
                            auto v) { o.PopulationSize = ReadInteger(name, v, 1, MaxCount); }},
        {"--generations", [](IdentifyOptions& o, auto name,
                             auto v) { o.Generations = ReadInteger(name, v, 0, MaxCount); }},
        {"--selection",
         [](IdentifyOptions& o, auto, auto v) { o.SelectionType = ReadSelection(v); }},
        {"--tournament-probability",
         [](IdentifyOptions& o, auto name, auto v) {
             o.TournamentProbability = ReadDecimal(name, v, 0, 100, "from 0 to 100");
         }},
        {"--reproduction-probability",
         [](IdentifyOptions& o, auto name, auto v) {
             o.ReproductionProbability = ReadDecimal(name, v, 0, 1, "from 0 to 1");
         }},
        {"--mutation-probability",
         [](IdentifyOptions& o, auto name, auto v) {
             o.MutationProbability = ReadDecimal(name, v, 0, 100, "from 0 to 100");
         }},
        {"--elitism", [](IdentifyOptions& o, auto name,
                         auto v) { o.PreservedIndividuals = ReadInteger(name, v, 0, MaxCount); }},
        {"--refresh-period",
         [](IdentifyOptions& o, auto name, auto v) {
             o.RegenerationPeriod = ReadInteger(name, v, 0, MaxCount);
         }},
        {"--refresh-percent",
         [](IdentifyOptions& o, auto name, auto v) {
             o.RegenerationPercent = ReadDecimal(name, v, 0, 100, "from 0 to 100");
         }},
        {"--size-factor",
         [](IdentifyOptions& o, auto name, auto v) {
             o.SizeReductionFactor = ReadDecimal(name, v, 0, Unbounded, "of 0 or more");
         }},
        {"--seed-ms", [](IdentifyOptions& o, auto name,
                         auto v) { o.SeedMilliseconds = ReadInteger(name, v, 0, 999); }},
        {"--threads",
         [](IdentifyOptions& o, auto name, auto v) { o.Threads = ReadInteger(name, v, 0, 1024); }},
        {"--report",
         [](IdentifyOptions& o, auto name, auto v) {
             if (v.empty())
                 throw UsageError(std::string(name) + " needs a file path");
             o.ReportPath = std::string(v);
         }},
    };
    return readers;
}

} // namespace

IdentifyOptions IdentifyOptions::Parse(std::span<const std::string_view> arguments) {
    IdentifyOptions options;
    bool haveData = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.Help = true;
            continue;
        }
        if (argument == "--quiet") {
            options.Quiet = true;
            continue;
        }
        if (argument.size() > 1 && argument.front() == '-') {
            std::string_view name = argument;
            std::optional<std::string_view> value;
            if (const std::size_t equals = argument.find('='); equals != std::string_view::npos) {
                name = argument.substr(0, equals);
                value = argument.substr(equals + 1);
            }
            // The flags alone were taken above; here one came with "=value".
            if (name == "--help" || name == "-h" || name == "--quiet")
                throw UsageError(std::string(name) + " takes no value");
            const auto reader = ValueOptions().find(name);
            if (reader == ValueOptions().end())
                throw UsageError("Unknown option " + std::string(name) + " (see --help)");
            if (!value) {
                if (i + 1 == arguments.size())
                    throw UsageError(std::string(name) + " needs a value");
                value = arguments[++i];
            }
            reader->second(options, name, *value);
            continue;
        }
        if (haveData)
            throw UsageError("Only one data file can be given; \"" + std::string(argument) +
                             "\" is a second one");
        options.DataPath = std::string(argument);
        haveData = true;
    }
    if (!haveData && !options.Help)
        throw UsageError("No data file given (see --help)");
    return options;
}

void IdentifyOptions::ApplyTo(TGenetico& engine) const {
    if (PopulationSize)
        engine.SetPopulationSize(*PopulationSize);
    if (Generations)
        engine.Generations = *Generations;
    if (SelectionType)
        engine.SelectionType = *SelectionType;
    if (TournamentProbability)
        engine.SetTournamentProbability(*TournamentProbability);
    if (ReproductionProbability)
        engine.ReproductionProbability = *ReproductionProbability;
    if (MutationProbability)
        engine.SetMutationProbability(*MutationProbability);
    if (PreservedIndividuals)
        engine.PreservedIndividuals = *PreservedIndividuals;
    if (RegenerationPeriod)
        engine.RegenerationPeriod = *RegenerationPeriod;
    if (RegenerationPercent)
        engine.RegenerationPercent = *RegenerationPercent;
    if (SizeReductionFactor)
        engine.SizeReductionFactor = *SizeReductionFactor;
    engine.ThreadCount = Threads;
}

std::string IdentifyOptions::HelpText() {
    return R"(Usage: orvanel-identify DATA.txt [options]

Identifies a multi-input single-output transfer-function model from the samples in DATA.txt
(TAB-separated, one line per sample, the inputs first and the output in the last column;
numbers with "." as the decimal separator) and writes the run report.

Options (defaults in brackets):
  --population N                 individuals in the population, raised to an even number of
                                 at least 2 [80]
  --generations N                last generation; generations 0 to N are bred [100]
  --selection sigma|tournament|rank
                                 selection scheme [sigma]
  --tournament-probability P     probability that a tournament keeps the fitter contestant;
                                 above 1 it is a percentage (0 to 100) [0.7]
  --reproduction-probability P   probability that a selected pair is crossed (0 to 1) [0.85]
  --mutation-probability P       probability that a bit is flipped; above 1 it is a
                                 percentage (0 to 100) [0.001]
  --elitism K                    preserved individuals of lowest error, at most the
                                 population [5]
  --refresh-period N             refresh the population every N generations (at least 1) [10]
  --refresh-percent X            percentage of the population a refresh replaces [10]
  --size-factor X                fitness penalty per model parameter [100]
  --seed-ms MS                   seed the random source as if the clock read MS milliseconds
                                 (0 to 999) [the clock's milliseconds]
  --threads N                    threads that evaluate models; 0 uses every core [0]
  --report PATH                  where to write the report [DATA's name with "_Report.txt"
                                 in place of its extension, next to it]
  --quiet                        no progress on standard error
  --help                         this text

The result goes to standard output: the objective and one "Input i: numerator/denominator"
line per input. Exit status: 0 success, 1 the run ended with an error (the report is still
completed), 2 bad usage or unreadable data.
)";
}

} // namespace orvanel
