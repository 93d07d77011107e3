#include "app/ModelViews.h"

#include "engine/ModelAnalysis.h"
#include "window/MSChart.h"

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
constexpr double RangeMargin = 1.15;

QCPAxisRect* RectOf(QCustomPlot* plot, int row) {
    return qobject_cast<QCPAxisRect*>(plot->plotLayout()->element(row, 0));
}

QCPGraph* AddGraph(QCustomPlot* plot, int row, const QString& name, const QColor& colour) {
    QCPAxisRect* rect = RectOf(plot, row);
    QCPGraph* graph = plot->addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
    graph->setName(name);
    graph->setPen(QPen(colour, 1.5));
    return graph;
}

void AddBand(QCustomPlot* plot, int row, const ModelAnalysis::Correlation& r) {
    const double first = r.FirstLag;
    const double last = r.FirstLag + static_cast<int>(r.Values.size()) - 1;
    for (const double sign : {1.0, -1.0}) {
        QCPGraph* band = AddGraph(plot, row, QStringLiteral("99 % band"), BandColour);
        band->setPen(QPen(BandColour, 1.0, Qt::DashLine));
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

// Labels the step chart's points, which count samples from 1, by their time from the first.
class TimeTicker : public QCPAxisTicker {
public:
    explicit TimeTicker(double sampleTime) : sampleTime_(sampleTime) {}

protected:
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                         int precision) override {
        return QCPAxisTicker::getTickLabel((tick - 1.0) * sampleTime_, locale, formatChar,
                                           precision);
    }

private:
    double sampleTime_;
};

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
      residual_(AddPlot(QStringLiteral("Residuals"), 2)), stale_(4, false) {
    setObjectName(QStringLiteral("ModelViews"));
    insertTab(StepView, stepChart_, QStringLiteral("Step"));
    setCurrentIndex(StepView);
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
    connect(this, &QTabWidget::currentChanged, this, &ModelViews::DrawCurrent);
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
        stepAxis->setLabel(QStringLiteral("Time (s)"));
    } else {
        stepAxis->setTicker(QSharedPointer<QCPAxisTicker>(new QCPAxisTicker));
        stepAxis->setLabel(QString());
    }
    stepChart_->Plot()->replot(QCustomPlot::rpQueuedReplot);
    stale_[FrequencyView] = true;
    DrawCurrent();
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
        break;
    }
    return residual_;
}

void ModelViews::DrawCurrent() {
    const int view = currentIndex();
    if (view <= StepView || !stale_[static_cast<std::size_t>(view)]) {
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
    for (const ModelAnalysis::FrequencyPoint& p : ModelAnalysis::FrequencyResponse(*model_)) {
        // A zero on the circle takes the magnitude to minus infinity, which no axis spans.
        if (std::isfinite(p.MagnitudeDb)) {
            magnitude->addData(p.Frequency * scale, p.MagnitudeDb);
        }
        phase->addData(p.Frequency * scale, p.PhaseDeg);
    }
    magnitude->rescaleAxes();
    phase->rescaleAxes();
}

void ModelViews::DrawPoleZero() {
    auto* circle = new QCPCurve(poleZero_->xAxis, poleZero_->yAxis);
    circle->setName(QStringLiteral("Unit circle"));
    circle->setPen(QPen(Qt::gray, 1.0, Qt::DashLine));
    for (int i = 0; i < CirclePoints; ++i) {
        const double angle = 2.0 * std::numbers::pi * i / (CirclePoints - 1);
        circle->addData(i, std::cos(angle), std::sin(angle));
    }
    double reach = 1.0;
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
            reach = std::max(reach, std::abs(z));
        }
        for (const std::complex<double> p : ModelAnalysis::Poles(*model_)) {
            (std::abs(p) >= 1.0 ? unstable : poles)->addData(p.real(), p.imag());
            reach = std::max(reach, std::abs(p));
        }
    }
    poleZero_->xAxis->setRange(-reach * RangeMargin, reach * RangeMargin);
    poleZero_->yAxis->setRange(-reach * RangeMargin, reach * RangeMargin);
    if (poleZero_->axisRect()->width() > 0 && poleZero_->axisRect()->height() > 0) {
        poleZero_->xAxis->setScaleRatio(poleZero_->yAxis, 1.0);
    }
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
