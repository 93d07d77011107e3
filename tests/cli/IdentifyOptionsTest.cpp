#include "cli/IdentifyOptions.h"

#include "engine/search/Genetico.h"

#include <gtest/gtest.h>
#include <vector>

namespace orvanel {
namespace {

IdentifyOptions Parse(std::vector<std::string_view> arguments) {
    return IdentifyOptions::Parse(arguments);
}

std::string UsageMessage(std::vector<std::string_view> arguments) {
    try {
        Parse(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(IdentifyOptions, ReadsEveryOptionInBothForms) {
    const IdentifyOptions o = Parse({"--population",
                                     "7",
                                     "--generations=0",
                                     "--selection",
                                     "rank",
                                     "--tournament-probability",
                                     "60",
                                     "--reproduction-probability=0.5",
                                     "--mutation-probability",
                                     "50",
                                     "--elitism",
                                     "3",
                                     "--refresh-period",
                                     "4",
                                     "--refresh-percent",
                                     "12.5",
                                     "--size-factor",
                                     "0",
                                     "--seed-ms",
                                     "999",
                                     "--threads",
                                     "2",
                                     "--report",
                                     "out.txt",
                                     "--quiet",
                                     "data.txt"});
    EXPECT_EQ(o.DataPath, "data.txt");
    EXPECT_EQ(o.SeedMilliseconds, 999);
    EXPECT_EQ(o.Threads, 2);
    EXPECT_EQ(o.ReportPath, "out.txt");
    EXPECT_TRUE(o.Quiet);
    EXPECT_FALSE(o.Help);

    // The values reach the engine through the options dialog's setters.
    TGenetico engine(0);
    o.ApplyTo(engine);
    EXPECT_EQ(engine.PopulationSize(), 8);
    EXPECT_EQ(engine.TournamentProbability(), 0.6);
    EXPECT_EQ(engine.MutationProbability(), 0.5);
    EXPECT_EQ(engine.Generations, 0);
    EXPECT_EQ(engine.SelectionType, 2);
    EXPECT_EQ(engine.RegenerationPercent, 12.5);
    EXPECT_EQ(engine.ReproductionProbability, 0.5);
    EXPECT_EQ(engine.PreservedIndividuals, 3);
    EXPECT_EQ(engine.RegenerationPeriod, 4);
    EXPECT_EQ(engine.SizeReductionFactor, 0.0);
}

TEST(IdentifyOptions, UnsetOptionsLeaveTheEngineDefaults) {
    TGenetico engine(0);
    Parse({"data.txt"}).ApplyTo(engine);
    EXPECT_EQ(engine.PopulationSize(), 80);
    EXPECT_EQ(engine.MutationProbability(), 0.001);
    EXPECT_EQ(engine.PreservedIndividuals, 5);
    EXPECT_EQ(engine.ThreadCount, 0);
}

TEST(IdentifyOptions, RefusesWhatTheOptionsDialogRefusesInOneLine) {
    EXPECT_EQ(UsageMessage({"--population", "0", "d.txt"}),
              "--population needs an integer from 1 to 1000000000, not \"0\"");
    EXPECT_EQ(UsageMessage({"--elitism", "-1", "d.txt"}),
              "--elitism needs an integer from 0 to 1000000000, not \"-1\"");
    EXPECT_EQ(UsageMessage({"--generations", "2.5", "d.txt"}),
              "--generations needs an integer from 0 to 1000000000, not \"2.5\"");
    EXPECT_EQ(UsageMessage({"--mutation-probability", "150", "d.txt"}),
              "--mutation-probability needs a number from 0 to 100, not \"150\"");
    EXPECT_EQ(UsageMessage({"--refresh-percent", "0,5", "d.txt"}),
              "--refresh-percent needs a number from 0 to 100, not \"0,5\"");
    EXPECT_EQ(UsageMessage({"--size-factor", "-1", "d.txt"}),
              "--size-factor needs a number from 0 to 1000000000000, not \"-1\"");
    EXPECT_EQ(UsageMessage({"--size-factor", "1.8e308", "d.txt"}),
              "--size-factor needs a number from 0 to 1000000000000, not \"1.8e308\"");
    EXPECT_EQ(UsageMessage({"--seed-ms", "1000", "d.txt"}),
              "--seed-ms needs an integer from 0 to 999, not \"1000\"");
    EXPECT_EQ(UsageMessage({"--selection", "best", "d.txt"}),
              "--selection needs sigma, tournament or rank, not \"best\"");
    EXPECT_EQ(UsageMessage({"--refresh-period=0", "d.txt"}),
              "--refresh-period needs an integer from 1 to 1000000000, not \"0\"");
    EXPECT_EQ(UsageMessage({"--validation-percent", "95", "d.txt"}),
              "--validation-percent needs a number from 0 to 90, not \"95\"");
    EXPECT_EQ(UsageMessage({"--restarts", "0", "d.txt"}),
              "--restarts needs an integer from 1 to 100, not \"0\"");
    EXPECT_EQ(UsageMessage({"--refine=yes", "d.txt"}), "--refine takes no value");
    EXPECT_EQ(UsageMessage({"--simulated-output=", "d.txt"}),
              "--simulated-output needs a file path");
}

TEST(IdentifyOptions, ReadsTheStepsAroundTheSearch) {
    const IdentifyOptions o =
        Parse({"--remove-offsets", "--validation-percent=12.5", "--refine", "--restarts", "3",
               "--thorough", "--simulated-output", "y.txt", "d.txt"});
    EXPECT_TRUE(o.Identification.RemoveOffsets);
    EXPECT_EQ(o.Identification.ValidationPercent, 12.5);
    EXPECT_TRUE(o.Identification.Refine);
    EXPECT_EQ(o.Identification.Restarts, 3);
    EXPECT_TRUE(o.Identification.Thorough);
    EXPECT_EQ(o.SimulatedOutputPath, "y.txt");
    EXPECT_FALSE(Parse({"d.txt"}).Identification.AnyOptIn());
}

TEST(IdentifyOptions, RefusesUnknownOptionsMissingValuesAndFiles) {
    EXPECT_EQ(UsageMessage({"--populaton", "8", "d.txt"}),
              "Unknown option --populaton (see --help)");
    EXPECT_EQ(UsageMessage({"d.txt", "--generations"}), "--generations needs a value");
    EXPECT_EQ(UsageMessage({"--report=", "d.txt"}), "--report needs a file path");
    EXPECT_EQ(UsageMessage({"--quiet=yes", "d.txt"}), "--quiet takes no value");
    EXPECT_EQ(UsageMessage({"--model", "m.json", "a.txt", "b.txt"}),
              "--model takes one data file; \"b.txt\" is a second one");
    EXPECT_EQ(UsageMessage({"--quiet"}), "No data file given (see --help)");
    EXPECT_TRUE(Parse({"--help"}).Help);
    // After "--" every argument is the data file, whatever it looks like.
    EXPECT_EQ(Parse({"--quiet", "--", "--odd.txt"}).DataPath, "--odd.txt");
    // Several data files are experiments identified together, in the order given.
    const IdentifyOptions several = Parse({"a.txt", "--quiet", "b.txt", "--", "-c.txt"});
    EXPECT_EQ(several.DataPaths, (std::vector<std::string>{"a.txt", "b.txt", "-c.txt"}));
    EXPECT_EQ(several.DataPath, "a.txt");
}

// A model read back is only simulated: every option it would silently ignore is refused, and
// the advice given leads to a command that runs.
TEST(IdentifyOptions, RefusesWhatAModelReadBackCannotHonour) {
    for (const std::string_view option :
         {"--thorough", "--summary", "--report=r.txt", "--export=e.json", "--generations=5"})
        EXPECT_EQ(UsageMessage({"--model", "m.json", option, "d.txt"}),
                  "--model only simulates the model on the data file: " +
                      std::string(option.substr(0, option.find('='))) + " cannot be given with it");
    EXPECT_EQ(UsageMessage({"--model", "m.json", "--validation-data", "v.txt", "d.txt"}),
              "--model judges the model on the data file alone: give each file of "
              "--validation-data as the data file of a --model run of its own");
    EXPECT_EQ(UsageMessage({"--model", "m.json", "--restart-slice", "0/2", "--part", "p.json",
                            "--seed-ms", "5", "d.txt"}),
              "--restart-slice and --model cannot be given together: --model runs no search");
    EXPECT_EQ(UsageMessage({"--model", "m.json", "--quiet", "--inputs", "a,b", "--simulated-output",
                            "o.txt", "d.csv"}),
              "accepted");
}

TEST(IdentifyOptions, TakesEveryExportAndTheSampleTime) {
    const IdentifyOptions o = Parse(
        {"--export", "m.JSON", "--sample-time=0.02", "d.txt", "--export=m.py", "--export", "m.m"});
    EXPECT_EQ(o.DataPath, "d.txt");
    EXPECT_EQ(o.ExportPaths, (std::vector<std::string>{"m.JSON", "m.py", "m.m"}));
    EXPECT_EQ(o.SampleTime, 0.02);
    EXPECT_EQ(Parse({"d.txt"}).SampleTime, std::nullopt);

    // Refused before a run that may be long.
    EXPECT_EQ(UsageMessage({"--export", "m.txt", "d.txt"}),
              "--export m.txt: the name must end in .json, .m (MATLAB/Octave) or .py (Python)");
    EXPECT_EQ(UsageMessage({"--export=", "d.txt"}), "--export needs a file path");
    for (const char* bad : {"0", "-1", "inf", "nan", "0,5"}) {
        EXPECT_EQ(UsageMessage({"--sample-time", bad, "d.txt"}),
                  "--sample-time needs a positive number of seconds, not \"" + std::string(bad) +
                      "\"");
    }
}

TEST(IdentifyOptions, HelpNamesEveryOption) {
    const std::string help = IdentifyOptions::HelpText();
    for (const char* option : {"--population",
                               "--generations",
                               "--selection",
                               "--tournament-probability",
                               "--reproduction-probability",
                               "--mutation-probability",
                               "--elitism",
                               "--refresh-period",
                               "--refresh-percent",
                               "--size-factor",
                               "--remove-offsets",
                               "--validation-percent",
                               "--refine",
                               "--restarts",
                               "--thorough",
                               "--seed-ms",
                               "--threads",
                               "--report",
                               "--simulated-output",
                               "--export",
                               "--sample-time",
                               "--quiet",
                               "--help"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

} // namespace
} // namespace orvanel
