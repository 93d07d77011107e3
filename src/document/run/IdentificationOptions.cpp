#include "document/run/IdentificationOptions.h"

#include "engine/search/Genetico.h"
#include "engine/search/RunParameters.h"
#include "model/MISOFunTrans.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace orvanel {
namespace {

constexpr double Yes = 1.0;

// The command reads values and writes help lines as it does for the search's parameters.
RunParameter AsRunParameter(const IdentificationOption& option) {
    const auto kind = option.Type == IdentificationOption::Kind::Integer
                          ? RunParameter::Kind::Integer
                          : RunParameter::Kind::Decimal;
    return RunParameter{option.Flag,
                        option.ValueName,
                        option.Help,
                        kind,
                        option.Minimum,
                        option.Maximum,
                        {},
                        RunParameter::RunCheck::None,
                        {},
                        0,
                        {},
                        nullptr,
                        nullptr};
}

const IdentificationOption RemoveOffsets{
    "--remove-offsets",
    "",
    "subtract the mean of every column over the estimation rows\nbefore the search and add the "
    "output's back to the model's",
    "Remove offsets",
    "Identify the deviations from the working point: the mean of every input and of the output "
    "over the estimation rows is taken out before the search and the output's mean is added "
    "back to the model's output.",
    IdentificationOption::Kind::Switch,
    0,
    1,
    [](const IdentificationOptions& o) -> double { return o.RemoveOffsets; },
    [](IdentificationOptions& o, double v) { o.RemoveOffsets = v != 0.0; }};

const IdentificationOption ValidationPercent{
    "--validation-percent",
    "P",
    "hold the last P % of the rows (of each data file) out of\nthe search to judge the model "
    "on (0 to 90) [0]",
    "Validation part (%)",
    "The last rows, this percentage of them, are kept from the search; the model is judged on "
    "them by its fit on data it has never seen.",
    IdentificationOption::Kind::Decimal,
    0,
    90,
    [](const IdentificationOptions& o) { return o.ValidationPercent; },
    [](IdentificationOptions& o, double v) { o.ValidationPercent = v; }};

const IdentificationOption Refine{
    "--refine",
    "",
    "refine the coefficients of the best distinct structures\nfound by least squares; the "
    "structures stay",
    "Refine the model",
    "After the search, the gains, zeros and poles of the best distinct structures found are "
    "adjusted by least squares on the estimation rows, poles kept stable; the best refined "
    "model is kept, never worse than the search's.",
    IdentificationOption::Kind::Switch,
    0,
    1,
    [](const IdentificationOptions& o) -> double { return o.Refine; },
    [](IdentificationOptions& o, double v) { o.Refine = v != 0.0; }};

const IdentificationOption Restarts{
    "--restarts",
    "N",
    "independent searches from seeds derived from the seed; the\nlowest estimation error wins "
    "(1 to 100) [1]",
    "Restarts",
    "Runs this many independent searches, from seeds derived from the run's seed, on every "
    "core, and keeps the model of lowest error on the estimation rows.",
    IdentificationOption::Kind::Integer,
    1,
    100,
    [](const IdentificationOptions& o) -> double { return o.Restarts; },
    [](IdentificationOptions& o, double v) { o.Restarts = static_cast<int>(v); }};

const IdentificationOption Thorough{
    "--thorough",
    "",
    "offsets removed, refinement, 4 restarts, at least 200\ngenerations, a size penalty "
    "scaled to the output and the\nsimplest structures that pay for their parameters",
    "Thorough identification",
    "The best model without tuning: offsets removed, refinement, several restarts, more "
    "generations, a size penalty scaled to the output and each input's structure simplified "
    "while its fewer parameters pay. Takes several times longer.",
    IdentificationOption::Kind::Switch,
    0,
    1,
    [](const IdentificationOptions& o) -> double { return o.Thorough; },
    [](IdentificationOptions& o, double v) { o.Thorough = v != 0.0; }};

} // namespace

bool IdentificationOptions::AnyOptIn() const {
    return RemoveOffsets || ValidationPercent > 0.0 || Refine || Restarts > 1 || Thorough;
}

IdentificationOptions IdentificationOptions::Resolved() const {
    IdentificationOptions resolved = *this;
    if (Thorough) {
        resolved.RemoveOffsets = true;
        resolved.Refine = true;
        resolved.Simplify = true;
        resolved.Restarts = std::max(Restarts, ThoroughRestarts);
    }
    return resolved;
}

int IdentificationOptions::ValidationRows(int rows) const {
    const double percent = std::clamp(ValidationPercent, 0.0, 90.0);
    return static_cast<int>(std::floor(rows * percent / 100.0));
}

std::optional<std::string> IdentificationOptions::PoorFitHint(double fitPercent,
                                                              std::string_view thoroughSwitch,
                                                              char decimalSeparator) const {
    if (Thorough || !std::isfinite(fitPercent) || fitPercent >= PoorFitPercent)
        return std::nullopt;
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.2f", fitPercent);
    std::string fit = buffer.data();
    std::replace(fit.begin(), fit.end(), '.', decimalSeparator);
    return "Fit " + fit + " %: a thorough run (" + std::string(thoroughSwitch) +
           ") removes offsets, refines, tries other structures and usually fits far better";
}

void IdentificationOptions::ApplySearchSettings(TGenetico& engine,
                                                double outputSquaredDeviation) const {
    if (!Thorough)
        return;
    engine.Generations = std::max(engine.Generations, ThoroughGenerations);
    engine.SizeReductionFactor =
        ThoroughSizeShare * outputSquaredDeviation / TMISOFunTrans::ErrorScale;
}

double IdentificationOption::ParseCommandValue(std::string_view text) const {
    if (Type == Kind::Switch)
        return Yes;
    return AsRunParameter(*this).ParseCommandValue(text);
}

std::string IdentificationOption::HelpLines() const {
    return AsRunParameter(*this).HelpLines();
}

std::span<const IdentificationOption* const> IdentificationOption::All() {
    static constexpr std::array<const IdentificationOption*, 5> options = {
        &RemoveOffsets, &ValidationPercent, &Refine, &Restarts, &Thorough};
    return options;
}

} // namespace orvanel
