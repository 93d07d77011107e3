// The parameters of a run, each with its rules, for the engine, the options dialog and the
// command alike.
#pragma once

#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvanel {

class TGenetico;

// One parameter: how it is named, which values it takes and what each user of it says about a
// value outside them.
struct RunParameter {
    enum class Kind { Integer, Decimal, Choice };
    // Which bounds the engine itself refuses a run over; the setters take any value of the rest.
    enum class RunCheck { None, Minimum, Range };

    // The command's option, the name of its value and its --help text (lines after the first
    // are continuations), the default shown in brackets last.
    std::string_view Flag;
    std::string_view ValueName;
    std::string_view Help;
    Kind Type;
    // The values the command accepts; for a choice, the index into Choices.
    double Minimum;
    double Maximum;
    std::span<const std::string_view> Choices;
    RunCheck Checked;
    // What the engine refuses a run with when the value is outside the bounds it checks.
    std::string_view RunRefusal;
    // The options dialog's smallest integer (its decimals take Minimum..Maximum) and its
    // message for a value it does not take; empty message: the dialog has no such field.
    int DialogMinimum;
    std::string_view DialogMessage;

    double (*Read)(const TGenetico&);
    void (*Store)(TGenetico&, double);

    // The engine's refusal when its value is outside the bounds the engine checks.
    std::optional<std::string> RefusalFor(const TGenetico& engine) const;
    // The value the command reads from `text`, or the one-line message naming the flag and
    // the text.
    double ParseCommandValue(std::string_view text) const;
    // The --help lines of this parameter, each ending in a line break.
    std::string HelpLines() const;
};

// A value the command cannot use; the text names the flag and the value given.
class ParameterValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace RunParameters {

// The largest count the command takes.
inline constexpr int MaxCount = 1000000000;
inline constexpr double Unbounded = std::numeric_limits<double>::max();

extern const RunParameter PopulationSize;
extern const RunParameter Generations;
extern const RunParameter SelectionType;
extern const RunParameter TournamentProbability;
extern const RunParameter ReproductionProbability;
extern const RunParameter MutationProbability;
extern const RunParameter PreservedIndividuals;
extern const RunParameter RegenerationPeriod;
extern const RunParameter RegenerationPercent;
extern const RunParameter SizeReductionFactor;

// Every parameter, in the order of the command's --help and of the engine's checks.
std::span<const RunParameter* const> All();

} // namespace RunParameters
} // namespace orvanel
