// The views of the chosen input's transfer function beside its step response: frequency
// response, poles and zeros, the correlations of the residuals, its figures and its tuning.
#pragma once

#include "engine/linear/LinearModel.h"
#include "model/FunTrans.h"
#include "window/RunPlot.h"

#include <QRectF>
#include <QStringList>
#include <QTabWidget>
#include <optional>
#include <vector>

class QAction;
class QCPCurve;
class QCustomPlot;

namespace orvanel {

class SummaryText;
class TMSChart;
class TuningPanel;

// A tab per view, the step response first. Showing new results only stores them: a view is
// drawn when it is shown, so a run that refreshes the window pays for the visible view alone.
// The pole-zero view spans the unit circle and every pole and zero at equal scales on both
// axes, whatever the widget's shape; the wheel zooms, a drag pans and a double click shows
// them all again. The step and frequency views draw their 99 % bands on request, from their
// context menu, once a run has ended with a model the data determine.
class ModelViews : public QTabWidget {
    Q_OBJECT

public:
    enum View { StepView, FrequencyView, PoleZeroView, ResidualView, SummaryView, TuningView };
    static constexpr int MaxLag = 25;

    // The step chart becomes the first tab.
    ModelViews(TMSChart* stepChart, QWidget* parent = nullptr);

    // The model of `function` (no views when the search does not simulate it) and its input
    // samples, for the cross-correlation.
    void ShowFunction(const std::optional<LinearModel::Input>& model);
    // Measured less computed output, row by row of the part the residuals are judged on.
    void ShowResiduals(std::vector<double> residuals, std::vector<double> input);
    // Seconds per sample, or none: frequencies in rad/sample then, in Hz otherwise, and the
    // step response against time from its first point rather than against the sample.
    void SetSampleTime(std::optional<double> seconds);
    // Input `input`'s figures, settings and bands from a run's summary; an empty summary (a
    // run going on) shows that they come when it ends. After ShowFunction, whose step
    // response the band follows.
    void ShowSummary(const RunSummary& summary, std::size_t input);
    // Titles every chart with the input shown, "Step response — Input 2 (feed)"; an empty
    // text leaves the charts untitled, as they are for data that name no columns.
    void NameInput(const QString& input);

    // The plot of a view; the step chart's own plot for StepView, the closed loop's for
    // TuningView and none for SummaryView.
    QCustomPlot* Plot(View view) const;
    // The poles on or outside the unit circle, as the pole-zero view's tooltip names them.
    QString UnstablePoleText() const;
    // The lines of the view as printed: a header, then one line per point of each series.
    QStringList DataLines(View view) const;

    SummaryText& Summary() const { return *summary_; }
    TuningPanel& Tuning() const { return *tuning_; }
    // "Show 99 % band", checkable, in the context menu of the step and frequency views.
    QAction& BandAction() const { return *bandAction_; }

private:
    QCustomPlot* AddPlot(const QString& title, int rows);
    void MarkStale();
    void DrawCurrent();
    void DrawFrequency();
    void DrawPoleZero();
    void DrawResiduals();
    void DrawStepBand();
    void SetUpPoleZeroInteractions();
    void TitleStepAxes();
    // Puts `title` in a row of its own above the plot, or takes that row away when empty.
    static void SetPlotTitle(QCustomPlot* plot, const QString& title);
    // Sets the pole-zero axes for the axis rect's present size, equal scales on both; false
    // when they were right already.
    bool FitPoleZeroAxes();
    void KeepPoleZeroAspect();

    TMSChart* stepChart_;
    QCustomPlot* frequency_;
    QCustomPlot* poleZero_;
    QCustomPlot* residual_;
    SummaryText* summary_;
    TuningPanel* tuning_;
    QAction* bandAction_;
    // The step chart's band, which the chart's own redraws leave alone.
    std::vector<QCPCurve*> stepBand_;
    std::optional<ModelUncertainty> uncertainty_;
    std::size_t uncertainInput_ = 0;
    std::optional<LinearModel::Input> model_;
    // Shares the samples with the model it was copied from: the input costs no copy.
    std::vector<double> input_;
    std::vector<double> residuals_;
    std::optional<double> sampleTime_;
    QString inputName_;
    std::vector<bool> stale_;
    // The unit circle with every pole and zero, and a margin: what the pole-zero axes show
    // until the user zooms or pans, and again after a double click.
    QRectF poleZeroBounds_{-1.0, -1.0, 2.0, 2.0};
    bool poleZeroFollowsData_ = true;
};

} // namespace orvanel
