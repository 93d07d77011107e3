// What a run asks of the plot window that shows its results.
#pragma once

#include "document/run/ModelSummary.h"
#include "engine/analysis/ModelUncertainty.h"
#include "engine/linear/LinearModel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QString;
class QWidget;

namespace orvanel {

struct FunctionView;
class RunHistory;

// A kept model's output drawn beside the chosen one's: its legend label and a text per sample.
struct ModelOverlay {
    std::string Label;
    std::vector<std::string> Computed;
};

// A run's final model in an engineer's terms: one summary per input of Model and how well the
// data determine it (none when they do not). No inputs while a run goes on.
struct RunSummary {
    LinearModel Model;
    std::vector<InputSummary> Inputs;
    std::optional<ModelUncertainty> Uncertainty;
};

// The plot window as the run driver fills it: the measured-against-computed outputs, the input
// chooser and the chosen input's transfer function with its step response.
class RunPlot {
public:
    virtual ~RunPlot() = default;

    // The child window itself, shown and closed as the frame's other children are.
    virtual QWidget* Window() = 0;
    // Readies the window for a run: captions it `caption`, lists "Input 1" .. "Input inputs",
    // keeping the chosen item when it is still listed and choosing "Input 1" otherwise (so that
    // no item names an input the model lacks), and reads the numbers it is given with
    // `decimalSeparator`.
    virtual void PrepareRun(const QString& caption, int inputs, char decimalSeparator) = 0;
    // The inputs' names from 1, after PrepareRun: the list says "Input 1 (valve)" for a named
    // one. Empty names, or none, leave "Input k".
    virtual void NameInputs(const std::vector<std::string>& names) = 0;
    // The output's name from the data file, empty when it gave none: it titles the output axis.
    virtual void NameOutput(const std::string& /*name*/) {}
    // Shows the measured against the computed output, one text per sample of each, as the
    // table holds them.
    virtual void ShowOutputs(const std::vector<std::string_view>& measured,
                             const std::vector<std::string>& computed) = 0;
    // The busy cursor over the whole window while a run fills it; the normal cursor otherwise.
    virtual void SetBusy(bool busy) = 0;
    // The chosen item of the input list, 0 for "Input 1".
    virtual int ChosenInput() const = 0;
    // Shows the numerator and denominator of `function` and plots its step response from
    // sample 1, numbers written with `decimalSeparator`.
    virtual void ShowFunction(const FunctionView& function, char decimalSeparator) = 0;
    // Measured less computed output, row by row, and the chosen input over the same rows,
    // for the residual view: the validation part when one is held out, otherwise every row.
    virtual void ShowResiduals(std::vector<double> residuals, std::vector<double> input) = 0;
    // The document's sample time in seconds, or none when the user has not given one.
    virtual void SetSampleTime(std::optional<double> seconds) = 0;
    // Shows how well the computed output fits (empty for nothing) over the output chart and
    // shades its rows from `validationRow` on, the part held out of the search (0 for none).
    virtual void ShowQuality(const std::string& fitText, int validationRow) = 0;
    // The final model's summary once a run has ended, for every input; an empty one while a
    // run goes on. A window that shows no summary ignores it.
    virtual void ShowSummary(const RunSummary& summary) { (void)summary; }
    // The document's kept models with their fits, the chosen one marked; a window without a
    // list of models ignores it.
    virtual void ShowModels(const RunHistory& history, char decimalSeparator) {
        (void)history;
        (void)decimalSeparator;
    }
    // The overlaid models' outputs after ShowOutputs's two series, one series each; none
    // drops those shown before.
    virtual void ShowOverlays(const std::vector<ModelOverlay>& overlays) { (void)overlays; }
};

} // namespace orvanel
