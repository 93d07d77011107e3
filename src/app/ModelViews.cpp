#include "app/ModelViews.h"

#include "app/SummaryText.h"
#include "app/TuningPanel.h"
#include "engine/analysis/ModelAnalysis.h"
#include "window/MSChart.h"

#include <QAction>
#include <QMouseEvent>
#include <QTabBar>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <qcustomplot.h>

namespace orvanel {

namespace {

const QColor StableColour(0x1f, 0x4e, 0xa8);
const QColor UnstableColour(0xd0, 0x20, 0x20);
const QColor BandColour(0xd0, 0x20, 0x20);
constexpr int MarkerSize = 9;
constexpr int CirclePoints = 181;
// Room around the unit circle, poles and zeros, as a share of the larger side they span.
constexpr double PoleZeroMargin = 0.1;
// The step read-out's values, rounded as the summary's figures are.
constexpr int ReadOutDigits = 4;

// The axis rects are counted alone: a title above them takes a layout row of its own.
QCPAxisRect* RectOf(QCustomPlot* plot, int row) {
    return plot->axisRect(row);
}

QCPGraph* AddGraph(QCustomPlot* plot, int row, const QString& name, const QColor& colour) {
    QCPAxisRect* rect = RectOf(plot, row);
    QCPGraph* graph = plot->addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
    graph->setName(name);
    graph->setPen(QPen(colour, 1.5));
    return graph;
}

// A dashed line on each side of a response, the 99 % band around it.
QCPGraph* AddBandGraph(QCustomPlot* plot, int row) {
    QCPGraph* band = AddGraph(plot, row, QStringLiteral("99 % band"), BandColour);
    band->setPen(QPen(BandColour, 1.0, Qt::DashLine));
    return band;
}

void AddBand(QCustomPlot* plot, int row, const ModelAnalysis::Correlation& r) {
    const double first = r.FirstLag;
    const double last = r.FirstLag + static_cast<int>(r.Values.size()) - 1;
    for (const double sign : {1.0, -1.0}) {
        QCPGraph* band = AddBandGraph(plot, row);
        band->setData({first, last}, {sign * r.Band, sign * r.Band});
    }
}

void ShowCorrelation(QCustomPlot* plot, int row, const QString& name,
                     const ModelAnalysis::Correlation& r) {
    QCPGraph* graph = AddGraph(plot, row, name, StableColour);
    graph->setLineStyle(QCPGraph::lsImpulse);
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 4));
    for (std::size_t k = 0; k < r.Values.size(); ++k) {
        graph->addData(r.FirstLag + static_cast<int>(k), r.Values[k]);
    }
    AddBand(plot, row, r);
    QCPAxisRect* rect = RectOf(plot, row);
    rect->axis(QCPAxis::atBottom)
        ->setRange(r.FirstLag - 1.0, r.FirstLag + static_cast<double>(r.Values.size()));
    rect->axis(QCPAxis::atLeft)->setRange(-1.05, 1.05);
}

// Ticks the step chart's points, which count samples from 1, at round times from the first:
// the ticks are chosen on the time axis and put back on the samples, so that they fall at
// 0, 100, 200 s rather than at the samples 20, 40, 60 of a 3 s sample time.
class TimeTicker : public QCPAxisTicker {
public:
    explicit TimeTicker(double sampleTime) : sampleTime_(sampleTime) {}

    void generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                  QVector<double>& ticks, QVector<double>* subTicks,
                  QVector<QString>* tickLabels) override {
        const QCPRange seconds((range.lower - 1.0) * sampleTime_,
                               (range.upper - 1.0) * sampleTime_);
        QCPAxisTicker::generate(seconds, locale, formatChar, precision, ticks, subTicks,
                                tickLabels);
        for (QVector<double>* points : {&ticks, subTicks}) {
            if (points != nullptr) {
                for (double& point : *points) {
                    point = point / sampleTime_ + 1.0;
                }
            }
        }
    }

private:
    double sampleTime_;
};

bool SameRange(const QCPRange& a, const QCPRange& b) {
    const double tolerance = 1e-9 * std::max(a.size(), b.size());
    return std::abs(a.lower - b.lower) <= tolerance && std::abs(a.upper - b.upper) <= tolerance;
}

double Within(const QCPRange& range, double value) {
    return std::clamp(value, range.lower, range.upper);
}

QCPRange Around(double centre, double size) {
    return QCPRange(centre - size / 2, centre + size / 2);
}

QString ComplexText(std::complex<double> z) {
    const QString real = QString::number(z.real(), 'g', 4);
    if (z.imag() == 0.0) {
        return real;
    }
    return QStringLiteral("%1 %2 %3i")
        .arg(real, z.imag() < 0 ? QStringLiteral("-") : QStringLiteral("+"),
             QString::number(std::abs(z.imag()), 'g', 4));
}

} // namespace

ModelViews::ModelViews(TMSChart* stepChart, QWidget* parent)
    : QTabWidget(parent), stepChart_(stepChart),
      frequency_(AddPlot(QStringLiteral("Frequency"), 2)),
      poleZero_(AddPlot(QStringLiteral("Poles"), 1)),
      residual_(AddPlot(QStringLiteral("Residuals"), 2)), summary_(new SummaryText(this)),
      tuning_(new TuningPanel(this)),
      bandAction_(new QAction(QStringLiteral("Show 99 % band"), this)), stale_(4, false) {
    setObjectName(QStringLiteral("ModelViews"));
    insertTab(StepView, stepChart_, QStringLiteral("Step"));
    addTab(summary_, QStringLiteral("Summary"));
    addTab(tuning_, QStringLiteral("Tuning"));
    setCurrentIndex(StepView);
    // Six views share the panel's width: every tab stays in sight, its title shortened if the
    // panel is too narrow, rather than two of them behind a scroll arrow.
    setUsesScrollButtons(false);
    setElideMode(Qt::ElideRight);
    tabBar()->setExpanding(false);
    setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));
    stepChart_->SetReadOut(std::nullopt, ReadOutDigits);
    bandAction_->setCheckable(true);
    bandAction_->setEnabled(false);
    for (QCustomPlot* plot : {stepChart_->Plot(), frequency_}) {
        plot->setContextMenuPolicy(Qt::ActionsContextMenu);
        plot->addAction(bandAction_);
    }
    connect(bandAction_, &QAction::toggled, this, [this] {
        stale_[FrequencyView] = true;
        DrawCurrent();
        DrawStepBand();
    });
    frequency_->setObjectName(QStringLiteral("FrequencyChart"));
    poleZero_->setObjectName(QStringLiteral("PoleZeroChart"));
    residual_->setObjectName(QStringLiteral("ResidualChart"));

    for (QCPAxis* axis : {RectOf(frequency_, 0)->axis(QCPAxis::atBottom),
                          RectOf(frequency_, 1)->axis(QCPAxis::atBottom)}) {
        axis->setScaleType(QCPAxis::stLogarithmic);
        axis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
    }
    RectOf(frequency_, 0)->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("Magnitude (dB)"));
    RectOf(frequency_, 1)->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("Phase (deg)"));
    poleZero_->xAxis->setLabel(QStringLiteral("Real"));
    poleZero_->yAxis->setLabel(QStringLiteral("Imaginary"));
    RectOf(residual_, 0)->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("Autocorrelation"));
    RectOf(residual_, 1)->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("Cross-correlation"));
    RectOf(residual_, 1)->axis(QCPAxis::atBottom)->setLabel(QStringLiteral("Lag (samples)"));
    RectOf(frequency_, 1)
        ->axis(QCPAxis::atBottom)
        ->setLabel(QStringLiteral("Frequency (rad/sample)"));
    TitleStepAxes();
    SetUpPoleZeroInteractions();
    connect(this, &QTabWidget::currentChanged, this, &ModelViews::DrawCurrent);
}

// The wheel zooms both axes alike and a drag moves them alike, so the scales stay equal; a
// double click shows the circle, poles and zeros again.
void ModelViews::SetUpPoleZeroInteractions() {
    poleZero_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    connect(poleZero_, &QCustomPlot::mouseWheel, this, [this] { poleZeroFollowsData_ = false; });
    connect(poleZero_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
        if (event->buttons() != Qt::NoButton) {
            poleZeroFollowsData_ = false;
        }
    });
    connect(poleZero_, &QCustomPlot::mouseDoubleClick, this, [this] {
        poleZeroFollowsData_ = true;
        poleZero_->replot();
    });
    connect(poleZero_, &QCustomPlot::afterLayout, this, &ModelViews::KeepPoleZeroAspect);
}

bool ModelViews::FitPoleZeroAxes() {
    QCPAxis* x = poleZero_->xAxis;
    QCPAxis* y = poleZero_->yAxis;
    const double width = poleZero_->axisRect()->width();
    const double height = poleZero_->axisRect()->height();
    QCPRange xRange(poleZeroBounds_.left(), poleZeroBounds_.right());
    QCPRange yRange(poleZeroBounds_.top(), poleZeroBounds_.bottom());
    if (width > 0 && height > 0) {
        if (poleZeroFollowsData_) {
            const double unitsPerPixel =
                std::max(poleZeroBounds_.width() / width, poleZeroBounds_.height() / height);
            xRange = Around(poleZeroBounds_.center().x(), width * unitsPerPixel);
            yRange = Around(poleZeroBounds_.center().y(), height * unitsPerPixel);
        } else {
            // The user's zoom and place stay; the real axis takes the imaginary one's scale.
            yRange = y->range();
            xRange = Around(x->range().center(), width * yRange.size() / height);
        }
    }
    if (SameRange(xRange, x->range()) && SameRange(yRange, y->range())) {
        return false;
    }
    x->setRange(xRange);
    y->setRange(yRange);
    return true;
}

// Runs inside every replot, once the layout has given the axis rect its size and before
// anything is drawn. Ranges changed here would be drawn with the ticks and margins of the old
// ones, so the layout is done again; the second fit follows a margin that a wider tick label
// moved.
void ModelViews::KeepPoleZeroAspect() {
    if (!FitPoleZeroAxes()) {
        return;
    }
    QCPLayoutGrid* layout = poleZero_->plotLayout();
    for (const auto phase : {QCPLayoutElement::upPreparation, QCPLayoutElement::upMargins,
                             QCPLayoutElement::upLayout}) {
        layout->update(phase);
    }
    if (FitPoleZeroAxes()) {
        layout->update(QCPLayoutElement::upPreparation);
    }
}

QCustomPlot* ModelViews::AddPlot(const QString& title, int rows) {
    auto* plot = new QCustomPlot(this);
    for (int row = 1; row < rows; ++row) {
        plot->plotLayout()->addElement(row, 0, new QCPAxisRect(plot));
    }
    addTab(plot, title);
    return plot;
}

void ModelViews::ShowFunction(const std::optional<LinearModel::Input>& model) {
    model_ = model;
    stale_.assign(stale_.size(), true);
    DrawCurrent();
}

void ModelViews::ShowResiduals(std::vector<double> residuals, std::vector<double> input) {
    residuals_ = std::move(residuals);
    input_ = std::move(input);
    stale_[ResidualView] = true;
    DrawCurrent();
}

void ModelViews::ShowSummary(const RunSummary& summary, std::size_t input) {
    if (input < summary.Inputs.size() && input < summary.Model.Inputs.size()) {
        summary_->Show(summary.Inputs[input], summary.Model.Inputs[input],
                       summary.Model.SharedPoles);
        tuning_->Show(summary.Inputs[input], summary.Model.Inputs[input]);
        uncertainty_ = summary.Uncertainty;
    } else {
        summary_->ShowPending();
        tuning_->ShowPending();
        uncertainty_.reset();
    }
    uncertainInput_ = input;
    bandAction_->setEnabled(uncertainty_.has_value());
    bandAction_->setToolTip(uncertainty_ ? QString()
                                         : QStringLiteral("Shown when a run has ended with a "
                                                          "model the data determine"));
    stale_[FrequencyView] = true;
    DrawCurrent();
    DrawStepBand();
}

// The step chart puts the response's entry k at key k, entry 2 being the first sample after
// the step.
void ModelViews::DrawStepBand() {
    QCustomPlot* plot = stepChart_->Plot();
    for (QCPCurve* curve : stepBand_) {
        plot->removePlottable(curve);
    }
    stepBand_.clear();
    const int rows = stepChart_->RowCount();
    if (bandAction_->isChecked() && uncertainty_ && rows > 2) {
        const std::vector<ModelUncertainty::Band> band =
            uncertainty_->StepBand(uncertainInput_, static_cast<std::size_t>(rows - 1));
        for (const double sign : {1.0, -1.0}) {
            auto* curve = new QCPCurve(plot->xAxis, plot->yAxis);
            curve->setName(QStringLiteral("99 % band"));
            curve->setPen(QPen(BandColour, 1.0, Qt::DashLine));
            for (std::size_t k = 0; k < band.size(); ++k) {
                curve->addData(static_cast<double>(k), static_cast<double>(k + 2),
                               band[k].Value + sign * band[k].HalfWidth);
            }
            stepBand_.push_back(curve);
        }
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void ModelViews::SetSampleTime(std::optional<double> seconds) {
    if (seconds == sampleTime_) {
        return;
    }
    sampleTime_ = seconds;
    RectOf(frequency_, 1)
        ->axis(QCPAxis::atBottom)
        ->setLabel(seconds ? QStringLiteral("Frequency (Hz)")
                           : QStringLiteral("Frequency (rad/sample)"));
    QCPAxis* stepAxis = stepChart_->Plot()->xAxis;
    if (seconds) {
        stepAxis->setTicker(QSharedPointer<QCPAxisTicker>(new TimeTicker(*seconds)));
    } else {
        stepAxis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
    }
    TitleStepAxes();
    stepChart_->SetReadOut(seconds, ReadOutDigits);
    stale_[FrequencyView] = true;
    DrawCurrent();
}

void ModelViews::TitleStepAxes() {
    const QString response = inputName_.isEmpty()
                                 ? QStringLiteral("Step response")
                                 : QStringLiteral("Step response \u2014 ") + inputName_;
    stepChart_->SetAxisTitles(sampleTime_ ? "Time (s)" : "Samples", response.toStdString());
}

void ModelViews::NameInput(const QString& input) {
    if (input == inputName_) {
        return;
    }
    inputName_ = input;
    TitleStepAxes();
    const auto titled = [&input](const char* view) {
        return input.isEmpty() ? QString()
                               : QString::fromUtf8(view) + QStringLiteral(" \u2014 ") + input;
    };
    SetPlotTitle(frequency_, titled("Frequency response"));
    SetPlotTitle(poleZero_, titled("Poles and zeros"));
    SetPlotTitle(residual_, titled("Residuals"));
}

void ModelViews::SetPlotTitle(QCustomPlot* plot, const QString& title) {
    QCPLayoutGrid* layout = plot->plotLayout();
    auto* current = qobject_cast<QCPTextElement*>(layout->element(0, 0));
    if (current != nullptr && title.isEmpty()) {
        layout->remove(current);
        layout->simplify();
    } else if (current != nullptr) {
        current->setText(title);
    } else if (!title.isEmpty()) {
        layout->insertRow(0);
        layout->addElement(0, 0, new QCPTextElement(plot, title));
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}

QCustomPlot* ModelViews::Plot(View view) const {
    switch (view) {
    case StepView:
        return stepChart_->Plot();
    case FrequencyView:
        return frequency_;
    case PoleZeroView:
        return poleZero_;
    case ResidualView:
        return residual_;
    case SummaryView:
        break;
    case TuningView:
        return tuning_->Plot();
    }
    return nullptr;
}

void ModelViews::DrawCurrent() {
    const int view = currentIndex();
    if (view <= StepView || view > ResidualView || !stale_[static_cast<std::size_t>(view)]) {
        return;
    }
    stale_[static_cast<std::size_t>(view)] = false;
    QCustomPlot* plot = Plot(static_cast<View>(view));
    plot->clearPlottables();
    if (view == FrequencyView) {
        DrawFrequency();
    } else if (view == PoleZeroView) {
        DrawPoleZero();
    } else {
        DrawResiduals();
    }
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void ModelViews::DrawFrequency() {
    if (!model_) {
        return;
    }
    QCPGraph* magnitude = AddGraph(frequency_, 0, QStringLiteral("Magnitude (dB)"), StableColour);
    QCPGraph* phase = AddGraph(frequency_, 1, QStringLiteral("Phase (deg)"), StableColour);
    const double scale = sampleTime_ ? 1.0 / (2.0 * std::numbers::pi * *sampleTime_) : 1.0;
    const std::vector<ModelAnalysis::FrequencyPoint> points =
        ModelAnalysis::FrequencyResponse(*model_);
    for (const ModelAnalysis::FrequencyPoint& p : points) {
        // A zero on the circle takes the magnitude to minus infinity, which no axis spans.
        if (std::isfinite(p.MagnitudeDb)) {
            magnitude->addData(p.Frequency * scale, p.MagnitudeDb);
        }
        phase->addData(p.Frequency * scale, p.PhaseDeg);
    }
    magnitude->rescaleAxes();
    phase->rescaleAxes();
    if (!bandAction_->isChecked() || !uncertainty_) {
        return;
    }
    // Around the curves drawn, so that the phase's band follows its unwrapping.
    const std::vector<ModelUncertainty::FrequencyBand> bands =
        uncertainty_->FrequencyBands(uncertainInput_);
    if (bands.size() != points.size()) {
        return;
    }
    // The axes stay those of the curves: a band wider than they span runs along the plot's edge.
    const QCPRange magnitudes = magnitude->valueAxis()->range();
    const QCPRange phases = phase->valueAxis()->range();
    for (const double sign : {1.0, -1.0}) {
        QCPGraph* magnitudeBand = AddBandGraph(frequency_, 0);
        QCPGraph* phaseBand = AddBandGraph(frequency_, 1);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const double f = points[i].Frequency * scale;
            if (std::isfinite(points[i].MagnitudeDb)) {
                magnitudeBand->addData(
                    f, Within(magnitudes,
                              points[i].MagnitudeDb + sign * bands[i].MagnitudeDb.HalfWidth));
            }
            phaseBand->addData(
                f, Within(phases, points[i].PhaseDeg + sign * bands[i].PhaseDeg.HalfWidth));
        }
    }
}

void ModelViews::DrawPoleZero() {
    auto* circle = new QCPCurve(poleZero_->xAxis, poleZero_->yAxis);
    circle->setName(QStringLiteral("Unit circle"));
    circle->setPen(QPen(Qt::gray, 1.0, Qt::DashLine));
    for (int i = 0; i < CirclePoints; ++i) {
        const double angle = 2.0 * std::numbers::pi * i / (CirclePoints - 1);
        circle->addData(i, std::cos(angle), std::sin(angle));
    }
    QRectF bounds(-1.0, -1.0, 2.0, 2.0);
    const auto include = [&bounds](std::complex<double> z) {
        // A root the axes cannot span is left out of the range, not the picture.
        if (std::isfinite(z.real()) && std::isfinite(z.imag())) {
            bounds.setLeft(std::min(bounds.left(), z.real()));
            bounds.setRight(std::max(bounds.right(), z.real()));
            bounds.setTop(std::min(bounds.top(), z.imag()));
            bounds.setBottom(std::max(bounds.bottom(), z.imag()));
        }
    };
    if (model_) {
        QCPGraph* zeros = AddGraph(poleZero_, 0, QStringLiteral("Zeros"), StableColour);
        QCPGraph* poles = AddGraph(poleZero_, 0, QStringLiteral("Poles"), StableColour);
        QCPGraph* unstable = AddGraph(
            poleZero_, 0, QStringLiteral("Poles on or outside the circle"), UnstableColour);
        zeros->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, MarkerSize));
        for (QCPGraph* graph : {poles, unstable}) {
            graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, MarkerSize));
        }
        for (QCPGraph* graph : {zeros, poles, unstable}) {
            graph->setLineStyle(QCPGraph::lsNone);
        }
        for (const std::complex<double> z : ModelAnalysis::Zeros(*model_)) {
            zeros->addData(z.real(), z.imag());
            include(z);
        }
        for (const std::complex<double> p : ModelAnalysis::Poles(*model_)) {
            (std::abs(p) >= 1.0 ? unstable : poles)->addData(p.real(), p.imag());
            include(p);
        }
    }
    const double margin = PoleZeroMargin * std::max(bounds.width(), bounds.height());
    poleZeroBounds_ = bounds.adjusted(-margin, -margin, margin, margin);
    FitPoleZeroAxes();
    poleZero_->setToolTip(UnstablePoleText());
}

void ModelViews::DrawResiduals() {
    if (residuals_.empty()) {
        return;
    }
    ShowCorrelation(residual_, 0, QStringLiteral("Autocorrelation"),
                    ModelAnalysis::Autocorrelation(residuals_, MaxLag));
    ShowCorrelation(residual_, 1, QStringLiteral("Cross-correlation with the input"),
                    ModelAnalysis::CrossCorrelation(residuals_, input_, MaxLag));
}

QString ModelViews::UnstablePoleText() const {
    QStringList named;
    if (model_) {
        for (const std::complex<double> p : ModelAnalysis::Poles(*model_)) {
            if (std::abs(p) >= 1.0) {
                named.append(ComplexText(p));
            }
        }
    }
    if (named.isEmpty()) {
        return {};
    }
    return QStringLiteral("Poles on or outside the unit circle: ") +
           named.join(QStringLiteral(", "));
}

QStringList ModelViews::DataLines(View view) const {
    QStringList lines;
    QCustomPlot* plot = Plot(view);
    for (int g = 0; g < plot->graphCount(); ++g) {
        const QCPGraph* graph = plot->graph(g);
        lines.append(graph->name());
        for (auto point = graph->data()->constBegin(); point != graph->data()->constEnd();
             ++point) {
            lines.append(QString::number(point->key, 'g', 15) + u'\t' +
                         QString::number(point->value, 'g', 15));
        }
    }
    return lines;
}

} // namespace orvanel
