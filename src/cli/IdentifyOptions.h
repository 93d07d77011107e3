// The command line of orvanel-identify.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvanel {

class TGenetico;

// A command line that cannot be used; the text says what is wrong in one line.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the command line asks for. Unset parameters keep the engine's defaults.
struct IdentifyOptions {
    std::string DataPath;
    std::optional<int> PopulationSize;
    std::optional<int> Generations;
    std::optional<int> SelectionType;
    std::optional<double> TournamentProbability;
    std::optional<double> ReproductionProbability;
    std::optional<double> MutationProbability;
    std::optional<int> PreservedIndividuals;
    std::optional<int> RegenerationPeriod;
    std::optional<double> RegenerationPercent;
    std::optional<double> SizeReductionFactor;
    std::optional<int> SeedMilliseconds;
    int Threads = 0;
    std::string ReportPath;
    bool Quiet = false;
    bool Help = false;

    // Reads the arguments after the program name. Values are checked as the options dialog
    // checks its fields; throws UsageError for an unknown option, a missing or bad value, or
    // a missing or second data file. With --help nothing else is required.
    static IdentifyOptions Parse(std::span<const std::string_view> arguments);

    // Stores the parameters that were given through the setters the options dialog uses.
    void ApplyTo(TGenetico& engine) const;

    // The --help text.
    static std::string HelpText();
};

} // namespace orvanel
