#include "engine/search/RunParameters.h"

#include "engine/search/Genetico.h"
#include "model/NumberText.h"

#include <array>
#include <charconv>

namespace orvanel {
namespace {

constexpr std::array<std::string_view, 3> SelectionNames = {"sigma", "tournament", "rank"};

// The options dialog's messages, as its users have always read them.
constexpr std::string_view IntegerMessage =
    "Debe introducir un valor entero mayor que cero en esta casilla";
constexpr std::string_view ProbabilityMessage =
    "Debe introducir un valor comprendido entre 0 y 1 en esta casilla";
constexpr std::string_view AboveZeroMessage =
    "A value bigger than zero must be introduced in this field";
constexpr std::string_view PercentMessage =
    "A value between 0 and 100 must be introduced in this field";

// Every finite bound is a whole number.
std::string Bound(double value) {
    return std::to_string(static_cast<long long>(value));
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::optional<int> ReadInteger(std::string_view text) {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<std::string> RunParameter::RefusalFor(const TGenetico& engine) const {
    const double value = Read(engine);
    const bool below = !(value >= Minimum);
    const bool above = Checked == RunCheck::Range && !(value <= Maximum);
    if (Checked != RunCheck::None && (below || above))
        return std::string(RunRefusal);
    return std::nullopt;
}

double RunParameter::ParseCommandValue(std::string_view text) const {
    const std::string flag(Flag);
    switch (Type) {
    case Kind::Choice:
        for (std::size_t i = 0; i < Choices.size(); ++i) {
            if (text == Choices[i])
                return static_cast<double>(i);
        }
        throw ParameterValueError(flag + " needs sigma, tournament or rank, not " + Quoted(text));
    case Kind::Integer:
        if (const auto value = ReadInteger(text); value && *value >= Minimum && *value <= Maximum)
            return *value;
        throw ParameterValueError(flag + " needs an integer from " + Bound(Minimum) + " to " +
                                  Bound(Maximum) + ", not " + Quoted(text));
    case Kind::Decimal:
        break;
    }
    if (const auto value = ParseNumber(text); value && *value >= Minimum && *value <= Maximum)
        return *value;
    const std::string range = Maximum == RunParameters::Unbounded
                                  ? "of " + Bound(Minimum) + " or more"
                                  : "from " + Bound(Minimum) + " to " + Bound(Maximum);
    throw ParameterValueError(flag + " needs a number " + range + ", not " + Quoted(text));
}

std::string RunParameter::HelpLines() const {
    constexpr std::size_t Column = 33;
    std::string head = "  " + std::string(Flag) + " " + std::string(ValueName);
    std::string text;
    std::string_view rest = Help;
    if (head.size() + 1 > Column) {
        text = head + "\n";
        head.clear();
    }
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        head.resize(Column, ' ');
        text += head + std::string(line) + "\n";
        head.clear();
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return text;
}

namespace RunParameters {

const RunParameter PopulationSize{
    "--population",
    "N",
    "individuals in the population, raised to an even number of\nat least 2 [80]",
    RunParameter::Kind::Integer,
    1,
    MaxCount,
    {},
    RunParameter::RunCheck::None,
    {},
    1,
    IntegerMessage,
    [](const TGenetico& e) -> double { return e.PopulationSize(); },
    [](TGenetico& e, double v) { e.SetPopulationSize(static_cast<int>(v)); }};

const RunParameter Generations{"--generations",
                               "N",
                               "last generation; generations 0 to N are bred [100]",
                               RunParameter::Kind::Integer,
                               0,
                               MaxCount,
                               {},
                               RunParameter::RunCheck::None,
                               {},
                               1,
                               IntegerMessage,
                               [](const TGenetico& e) -> double { return e.Generations; },
                               [](TGenetico& e, double v) { e.Generations = static_cast<int>(v); }};

const RunParameter SelectionType{
    "--selection",
    "sigma|tournament|rank",
    "selection scheme [sigma]",
    RunParameter::Kind::Choice,
    0,
    2,
    SelectionNames,
    RunParameter::RunCheck::Range,
    "Selection must be Sigma Scaling, Tournament Selection or Rank Selection.",
    0,
    {},
    [](const TGenetico& e) -> double { return e.SelectionType; },
    [](TGenetico& e, double v) { e.SelectionType = static_cast<int>(v); }};

const RunParameter TournamentProbability{
    "--tournament-probability",
    "P",
    "probability that a tournament keeps the fitter contestant;\nabove 1 it is a percentage (0 "
    "to 100) [0.7]",
    RunParameter::Kind::Decimal,
    0,
    100,
    {},
    RunParameter::RunCheck::None,
    {},
    0,
    ProbabilityMessage,
    [](const TGenetico& e) { return e.TournamentProbability(); },
    [](TGenetico& e, double v) { e.SetTournamentProbability(v); }};

const RunParameter ReproductionProbability{
    "--reproduction-probability",
    "P",
    "probability that a selected pair is crossed (0 to 1) [0.85]",
    RunParameter::Kind::Decimal,
    0,
    1,
    {},
    RunParameter::RunCheck::None,
    {},
    0,
    {},
    [](const TGenetico& e) { return e.ReproductionProbability; },
    [](TGenetico& e, double v) { e.ReproductionProbability = v; }};

const RunParameter MutationProbability{
    "--mutation-probability",
    "P",
    "probability that a bit is flipped; above 1 it is a\npercentage (0 to 100) [0.001]",
    RunParameter::Kind::Decimal,
    0,
    100,
    {},
    RunParameter::RunCheck::None,
    {},
    0,
    ProbabilityMessage,
    [](const TGenetico& e) { return e.MutationProbability(); },
    [](TGenetico& e, double v) { e.SetMutationProbability(v); }};

const RunParameter PreservedIndividuals{
    "--elitism",
    "K",
    "preserved individuals of lowest error, at most the\npopulation [5]",
    RunParameter::Kind::Integer,
    0,
    MaxCount,
    {},
    RunParameter::RunCheck::Minimum,
    "Preserved Individuals must not be negative.",
    0,
    IntegerMessage,
    [](const TGenetico& e) -> double { return e.PreservedIndividuals; },
    [](TGenetico& e, double v) { e.PreservedIndividuals = static_cast<int>(v); }};

// The dialog takes a period of 0 as typed; the run then refuses it.
const RunParameter RegenerationPeriod{
    "--refresh-period",
    "N",
    "refresh the population every N generations (at least 1) [10]",
    RunParameter::Kind::Integer,
    1,
    MaxCount,
    {},
    RunParameter::RunCheck::Minimum,
    "The Population Refresh Period must be at least 1 generation.",
    0,
    AboveZeroMessage,
    [](const TGenetico& e) -> double { return e.RegenerationPeriod; },
    [](TGenetico& e, double v) { e.RegenerationPeriod = static_cast<int>(v); }};

const RunParameter RegenerationPercent{"--refresh-percent",
                                       "X",
                                       "percentage of the population a refresh replaces [10]",
                                       RunParameter::Kind::Decimal,
                                       0,
                                       100,
                                       {},
                                       RunParameter::RunCheck::Range,
                                       "% Population Refreshed must be between 0 and 100.",
                                       0,
                                       PercentMessage,
                                       [](const TGenetico& e) { return e.RegenerationPercent; },
                                       [](TGenetico& e, double v) { e.RegenerationPercent = v; }};

// Far above any useful penalty, and low enough that a penalty over the largest model stays
// finite: beyond about 1e306 every fitness overflowed and every run ended in "Todos Iguales".
constexpr double LargestSizeFactor = 1e12;

const RunParameter SizeReductionFactor{"--size-factor",
                                       "X",
                                       "fitness penalty per model parameter [100]",
                                       RunParameter::Kind::Decimal,
                                       0,
                                       LargestSizeFactor,
                                       {},
                                       RunParameter::RunCheck::None,
                                       {},
                                       0,
                                       AboveZeroMessage,
                                       [](const TGenetico& e) { return e.SizeReductionFactor; },
                                       [](TGenetico& e, double v) { e.SizeReductionFactor = v; }};

std::span<const RunParameter* const> All() {
    static constexpr std::array<const RunParameter*, 10> parameters = {
        &PopulationSize,          &Generations,
        &SelectionType,           &TournamentProbability,
        &ReproductionProbability, &MutationProbability,
        &PreservedIndividuals,    &RegenerationPeriod,
        &RegenerationPercent,     &SizeReductionFactor};
    return parameters;
}

} // namespace RunParameters
} // namespace orvanel
