#include "app/TuningPanel.h"

#include "app/SummaryText.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalBlocker>
#include <cmath>
#include <qcustomplot.h>

namespace orvanel {

namespace {

const QColor LoopColour(0x1f, 0x4e, 0xa8);
const QColor MarkColour(0xd0, 0x20, 0x20);
constexpr double LargestTauC = 1e9;
constexpr double ShownSettlingTimes = 3.0;

QString Row(const QString& name, const ControllerTuning::Controller& c, bool derivative) {
    return QStringLiteral("<tr><td><b>%1</b></td><td align=right>%2</td><td align=right>%3</td>"
                          "<td align=right>%4</td></tr>")
        .arg(name, FigureText(c.Kc), FigureText(c.Ti),
             derivative ? FigureText(c.Td) : QStringLiteral("–"));
}

// Enough decimals to show a time constant of this size to three significant digits.
int DecimalsFor(double tauC) {
    return std::clamp(3 - static_cast<int>(std::floor(std::log10(tauC))), 1, 6);
}

} // namespace

TuningPanel::TuningPanel(QWidget* parent)
    : QWidget(parent), settingsText_(new QLabel(this)), tauC_(new QDoubleSpinBox(this)),
      controller_(new QComboBox(this)), loop_(new QCustomPlot(this)), loopText_(new QLabel(this)) {
    setObjectName(QStringLiteral("TuningPanel"));
    settingsText_->setObjectName(QStringLiteral("TuningSettings"));
    settingsText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    settingsText_->setWordWrap(true);
    tauC_->setObjectName(QStringLiteral("TauC"));
    tauC_->setKeyboardTracking(false);
    tauC_->setRange(1e-6, LargestTauC);
    tauC_->setToolTip(QStringLiteral("The closed-loop time constant the settings aim at"));
    controller_->setObjectName(QStringLiteral("Controller"));
    controller_->addItems({QStringLiteral("PI"), QStringLiteral("PID")});
    controller_->setToolTip(QStringLiteral("The controller whose closed loop is drawn"));
    loop_->setObjectName(QStringLiteral("ClosedLoopChart"));
    loop_->yAxis->setLabel(QStringLiteral("Closed loop"));
    loopText_->setObjectName(QStringLiteral("ClosedLoopFigures"));
    loopText_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel(QStringLiteral("τc"), this));
    choice->addWidget(tauC_, 1);
    choice->addWidget(controller_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(settingsText_);
    layout->addLayout(choice);
    layout->addWidget(loopText_);
    layout->addWidget(loop_, 1);

    connect(tauC_, &QDoubleSpinBox::valueChanged, this, &TuningPanel::Recompute);
    connect(controller_, &QComboBox::currentIndexChanged, this, &TuningPanel::Recompute);
    ShowPending();
}

void TuningPanel::ShowPending() {
    ShowNote(QStringLiteral("Shown when the run ends."));
}

void TuningPanel::ShowNote(const QString& note) {
    input_.reset();
    settings_.reset();
    settingsText_->setText(note);
    loopText_->clear();
    tauC_->setEnabled(false);
    controller_->setEnabled(false);
    loop_->clearPlottables();
    loop_->hide();
}

void TuningPanel::Show(const InputSummary& summary, const LinearModel::Input& input) {
    if (!summary.Tuning) {
        ShowNote(QStringLiteral("No SIMC settings: the model has no first-order-plus-dead-time "
                                "approximation (it is unstable, integrating or of zero gain, or "
                                "a gain and delay alone)."));
        return;
    }
    input_ = input;
    figures_ = summary.Figures;
    loop_->xAxis->setLabel(figures_.InSeconds ? QStringLiteral("Time (s)")
                                              : QStringLiteral("Samples"));
    tauC_->setEnabled(true);
    controller_->setEnabled(true);
    tauC_->setSuffix(figures_.InSeconds ? QStringLiteral(" s") : QStringLiteral(" samples"));
    {
        const QSignalBlocker blocker(tauC_);
        tauC_->setDecimals(DecimalsFor(summary.Tuning->TauC));
        tauC_->setMinimum(std::pow(10.0, -tauC_->decimals()));
        tauC_->setValue(summary.Tuning->TauC);
    }
    Recompute();
}

void TuningPanel::SetTauC(double tauC) {
    tauC_->setValue(tauC);
}

void TuningPanel::Choose(Choice controller) {
    controller_->setCurrentIndex(controller);
}

void TuningPanel::Recompute() {
    if (!input_) {
        return;
    }
    settings_ = ControllerTuning::Simc(*input_, figures_, tauC_->value());
    loop_->clearPlottables();
    if (!settings_) {
        ShowNote(QStringLiteral("No SIMC settings for this model."));
        return;
    }
    const ControllerTuning::Settings& s = *settings_;
    settingsText_->setText(
        QStringLiteral("%1, %2 form, times in %3<table cellspacing=4><tr><td></td><td>Kc</td>"
                       "<td>τI</td><td>τD</td></tr>%4%5</table>")
            .arg(QString::fromStdString(s.Rule), QString::fromStdString(s.Form),
                 QString::fromStdString(s.Units), Row(QStringLiteral("PI"), s.Pi, false),
                 Row(QStringLiteral("PID"), s.Pid, true)));

    loop_->show();
    const bool pid = controller_->currentIndex() == Pid;
    const ControllerTuning::ClosedLoop& loop = pid ? s.PidLoop : s.PiLoop;
    const QString unit = figures_.InSeconds ? QStringLiteral(" s") : QStringLiteral(" samples");
    const QString settling =
        std::isnan(loop.SettlingTime)
            ? QStringLiteral("does not settle within %1").arg(FigureText(loop.Horizon) + unit)
            : QStringLiteral("settles in %1").arg(FigureText(loop.SettlingTime) + unit);
    loopText_->setText(
        std::isnan(loop.OvershootPercent)
            ? QStringLiteral("%1: the loop is unstable").arg(controller_->currentText())
            : QStringLiteral("%1: %2, overshoot %3 %")
                  .arg(controller_->currentText(), settling, FigureText(loop.OvershootPercent)));
    const double last = static_cast<double>(loop.Output.size() - 1) * figures_.TimeUnit;
    QCPGraph* output = loop_->addGraph();
    output->setName(QStringLiteral("Output"));
    output->setPen(QPen(LoopColour, 1.5));
    for (std::size_t k = 0; k < loop.Output.size(); ++k) {
        output->addData(static_cast<double>(k) * figures_.TimeUnit, loop.Output[k]);
    }
    QCPGraph* setPoint = loop_->addGraph();
    setPoint->setName(QStringLiteral("Set point"));
    setPoint->setPen(QPen(Qt::gray, 1.0, Qt::DashLine));
    setPoint->setData({0.0, last}, {1.0, 1.0});
    output->rescaleAxes();
    setPoint->rescaleValueAxis(true);
    // The horizon covers the slowest loop SIMC may give; a faster one is shown to a few
    // settling times, where its shape can be seen.
    if (std::isfinite(loop.SettlingTime) && loop.SettlingTime > 0.0) {
        loop_->xAxis->setRange(0.0, std::min(last, ShownSettlingTimes * loop.SettlingTime));
    }
    if (std::isfinite(loop.SettlingTime)) {
        QCPGraph* settling = loop_->addGraph();
        settling->setName(QStringLiteral("Settling time"));
        settling->setPen(QPen(MarkColour, 1.0, Qt::DashLine));
        const QCPRange values = loop_->yAxis->range();
        settling->setData({loop.SettlingTime, loop.SettlingTime}, {values.lower, values.upper});
    }
    loop_->replot(QCustomPlot::rpQueuedReplot);
}

} // namespace orvanel
