// Fills a document's computed column and plot window with the model it shows.
#pragma once

#include "window/RunPlot.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace orvanel {

class IdentificationRun;
struct IdentifiedModel;
struct KeptModel;
class KeptModelList;
class TMDIMainChild;

// The state of a document's run that decides what its results show; its driver keeps it.
struct RunState {
    // From the first step of Execute to its last.
    bool Running = false;
    // The run has ended and Result holds its final model.
    bool ResultShown = false;
    // The separator numbers are read and written with: the locale's as of the last command.
    char DecimalSeparator = '.';
};

// Shows the chosen kept model when one is chosen, otherwise the last run's final model once a
// run with options has ended, otherwise the engine's best model, offsets added back.
class ResultDisplay {
public:
    // Separates the fit figures from each other and from the text before them.
    static const QString FitSeparator;

    // The display of `document`'s results, of its `run`, its kept `models` and its driver's
    // `state`; all must outlive it.
    ResultDisplay(TMDIMainChild& document, const IdentificationRun& run,
                  const KeptModelList& models, const RunState& state);

    // Fills the computed column, and `plot` when there is one, from the shown model; the plot
    // window then also shows the fit figures and where the validation part begins.
    void ShowResults(RunPlot* plot);
    // Fills `plot` with the outputs of the last ShowResults, with the chosen input's function.
    void FillPlot(RunPlot& plot);
    // Whether ShowResults has outputs to fill a new plot window with.
    bool HasOutputs() const { return !shownMeasuredText_.empty(); }
    // Shows the transfer function of `input` (from 0) of the shown model in `plot`; nothing for
    // an input the model lacks.
    void ShowFunctionOf(RunPlot& plot, int input, char decimalSeparator) const;
    // "Fit (estimation) = 85.31 %" and, with a validation part, "   Fit (validation) = ...",
    // and with validation data "   Fit (validation, CAPTION) = ...", of the last run's computed
    // output, or the chosen kept model's figures; empty while it runs or when it failed.
    QString FitText() const;
    // The note that a thorough run exists after a poor fit without one, with its separator;
    // empty otherwise.
    QString PoorFitHint() const;
    // The chosen kept model when it is not the last run's own result, which is shown as the
    // run left it; null then, while a run is in progress and when nothing is chosen.
    const KeptModel* ChosenKept() const;
    // Computes the final model's summary for the plot window from the rows it was fitted to.
    void KeepSummary();
    // Drops the summary of the last run's final model.
    void ForgetSummary();
    // Drops the summary and the outputs of the last ShowResults.
    void Forget();

private:
    // The last run's final model, when it ended with one and used options.
    const IdentifiedModel* OptedModel() const;
    std::vector<double> ComputedOutput(int rows) const;
    std::vector<double> MeasuredOutput(int rows) const;
    std::vector<double> ColumnValues(int column, int rows) const;
    // Residuals of the outputs the last refresh showed.
    void ShowResidualsOf(RunPlot& plot, int input) const;
    QString FitTextOf(const std::vector<double>& measured,
                      const std::vector<double>& computed) const;
    QString KeptFitText(const KeptModel& kept) const;
    RunSummary KeptSummary(const KeptModel& kept) const;
    std::vector<ModelOverlay> Overlays(int rows) const;

    TMDIMainChild& document_;
    const IdentificationRun& run_;
    const KeptModelList& models_;
    const RunState& state_;
    // The measured and computed outputs of the last refresh.
    std::vector<double> shownMeasured_;
    std::vector<double> shownComputed_;
    // The texts of the last refresh's outputs, from which a closed plot window is made again.
    std::vector<std::string> shownComputedText_;
    std::vector<std::string> shownMeasuredText_;
    // The last run's final model in an engineer's terms; empty while a run goes on.
    RunSummary summary_;
};

} // namespace orvanel
