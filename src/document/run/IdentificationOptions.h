// The opt-in steps around the search: offsets, a held-out validation part, refinement,
// restarts and the one switch that sets them all.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvanel {

class TGenetico;

// With every field at its default the run is the search alone, as it has always been.
struct IdentificationOptions {
    // Subtract each column's mean over the estimation rows before the search.
    bool RemoveOffsets = false;
    // The last share of the rows (0 to 90 %) the search never sees, kept to judge the model.
    double ValidationPercent = 0.0;
    // Refine the continuous parameters of the best distinct structures found.
    bool Refine = false;
    // Independent searches from seeds derived from the run's seed; the lowest estimation
    // error wins.
    int Restarts = 1;
    // After refinement, simpler structures where they pay for their fewer parameters under
    // the size penalty; restarts are then compared by error plus penalty. Set by Thorough.
    bool Simplify = false;
    // Offsets removed, refinement, simplification, ThoroughRestarts restarts (when fewer are asked
    // for) and the search settings of ApplySearchSettings.
    bool Thorough = false;

    static constexpr int ThoroughRestarts = 4;
    static constexpr int ThoroughGenerations = 200;
    // The thorough size penalty per parameter as a share of the output's squared deviation
    // from its mean: a parameter must explain at least that much of the output to be kept.
    static constexpr double ThoroughSizeShare = 1e-4;

    // Whether any step beyond the plain search is asked for; only then does the report have
    // a section of its own for them.
    bool AnyOptIn() const;
    // The options with Thorough spelt out into the individual ones.
    IdentificationOptions Resolved() const;
    // Rows held out of `rows` for validation: the last floor(rows * ValidationPercent / 100).
    int ValidationRows(int rows) const;
    // Below this estimation fit a run without Thorough says that a thorough run exists.
    static constexpr double PoorFitPercent = 50.0;
    // "Fit 6.2 %: a thorough run (SWITCH) removes offsets, ..." for a run without Thorough
    // whose fit is below PoorFitPercent, SWITCH being how the user asks for one; nothing
    // otherwise.
    std::optional<std::string> PoorFitHint(double fitPercent, std::string_view thoroughSwitch,
                                           char decimalSeparator = '.') const;
    // The thorough search settings: at least ThoroughGenerations generations and a size
    // penalty scaled to the output, given its squared deviation from the mean over the
    // estimation rows. Nothing without Thorough.
    void ApplySearchSettings(TGenetico& engine, double outputSquaredDeviation) const;
};

// One of the options, described for the command's flag and the options dialog's field.
struct IdentificationOption {
    enum class Kind { Switch, Integer, Decimal };

    std::string_view Flag;
    // Empty for a switch.
    std::string_view ValueName;
    // The --help text (lines after the first are continuations), the default last in brackets.
    std::string_view Help;
    // The dialog's label and tooltip.
    std::string_view Label;
    std::string_view ToolTip;
    Kind Type;
    double Minimum;
    double Maximum;

    double (*Read)(const IdentificationOptions&);
    void (*Store)(IdentificationOptions&, double);

    // The value the command reads from `text`; throws ParameterValueError naming the flag
    // and the text when it is not one of this option's values.
    double ParseCommandValue(std::string_view text) const;
    // The --help lines, each ending in a line break.
    std::string HelpLines() const;

    // Every option, in the order of --help and the dialog.
    static std::span<const IdentificationOption* const> All();
};

} // namespace orvanel
