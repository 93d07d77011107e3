#include "app/SummaryText.h"

#include <QApplication>
#include <QStyle>
#include <QUrl>
#include <cmath>

namespace orvanel {

namespace {

const QUrl WarningIcon(QStringLiteral("orvanel:warning"));
constexpr int IconSize = 16;

QString Line(const QString& label, const QString& value) {
    return QStringLiteral("<p><b>%1:</b> %2</p>").arg(label.toHtmlEscaped(), value.toHtmlEscaped());
}

QString Complex(std::complex<double> z) {
    if (z.imag() == 0.0) {
        return FigureText(z.real());
    }
    return QStringLiteral("%1 %2 %3j")
        .arg(FigureText(z.real()), z.imag() < 0 ? QStringLiteral("−") : QStringLiteral("+"),
             FigureText(std::abs(z.imag())));
}

// Each coefficient with its standard deviation when the data gave one.
QString Coefficients(const std::vector<double>& values, const std::vector<double>& std) {
    QStringList terms;
    for (std::size_t i = 0; i < values.size(); ++i) {
        QString term = FigureText(values[i]);
        if (i < std.size() && std::isfinite(std[i]) && std[i] > 0.0) {
            term += QStringLiteral(" ± ") + FigureText(std[i]);
        }
        terms.append(term);
    }
    return terms.join(QStringLiteral(", "));
}

QString Figures(const InputSummary& summary) {
    const ProcessFigures& f = summary.Figures;
    const QString unit = f.InSeconds ? QStringLiteral(" s") : QStringLiteral(" samples");
    const QString frequencyUnit =
        f.InSeconds ? QStringLiteral(" rad/s") : QStringLiteral(" rad/sample");
    const auto time = [&unit](double value) { return FigureText(value) + unit; };
    QString html = Line(QStringLiteral("Times in"), QString::fromStdString(f.Units()));
    html += Line(QStringLiteral("Static gain"), FigureText(f.StaticGain));
    QString delay =
        (f.DelaySamples == 1 ? QStringLiteral("%1 sample") : QStringLiteral("%1 samples"))
            .arg(f.DelaySamples);
    if (f.InSeconds) {
        delay += QStringLiteral(" (%1 s)").arg(FigureText(f.DeadTime));
    }
    html += Line(QStringLiteral("Delay"), delay);
    if (f.HasContinuous) {
        QStringList constants;
        for (const double t : f.TimeConstants) {
            constants.append(time(t));
        }
        html += Line(QStringLiteral("Time constants"),
                     constants.isEmpty() ? QStringLiteral("none") : constants.join(QStringLiteral(", ")));
        for (const ProcessFigures::Pair& p : f.Pairs) {
            html += Line(QStringLiteral("Pair"), QStringLiteral("natural frequency %1, damping %2")
                                                     .arg(FigureText(p.NaturalFrequency) + frequencyUnit,
                                                          FigureText(p.Damping)));
        }
        QStringList zeros;
        for (const std::complex<double> z : f.ZerosS) {
            zeros.append(Complex(z));
        }
        html += Line(f.InSeconds ? QStringLiteral("Zeros in s (1/s)")
                                 : QStringLiteral("Zeros in s (1/sample)"),
                     zeros.isEmpty() ? QStringLiteral("none") : zeros.join(QStringLiteral(", ")));
    } else {
        html += Line(QStringLiteral("No continuous-time equivalent"), QString::fromStdString(f.Note));
    }
    if (f.Fopdt) {
        html += Line(QStringLiteral("First order plus dead time"),
                     QStringLiteral("gain %1, time constant %2, dead time %3")
                         .arg(FigureText(f.Fopdt->Gain), time(f.Fopdt->TimeConstant),
                              time(f.Fopdt->DeadTime)));
    }
    if (!f.GainNote.empty()) {
        html += Line(QStringLiteral("Its gain"), QString::fromStdString(f.GainNote));
    }
    const ProcessFigures::Step& step = f.StepFigures;
    html += Line(QStringLiteral("Step"), QStringLiteral("rise time %1, settling time %2, overshoot %3 %")
                                             .arg(time(step.RiseTime), time(step.SettlingTime),
                                                  FigureText(step.OvershootPercent)));
    return html;
}

} // namespace

QString FigureText(double value) {
    if (std::isnan(value)) {
        return QStringLiteral("undefined");
    }
    if (std::isinf(value)) {
        return value > 0 ? QStringLiteral("infinite") : QStringLiteral("−infinite");
    }
    return QString::number(value, 'g', 4);
}

SummaryText::SummaryText(QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("SummaryText"));
    setOpenLinks(false);
    document()->setDefaultStyleSheet(QStringLiteral("p { margin-top: 0; margin-bottom: 3px; }"));
    document()->addResource(
        QTextDocument::ImageResource, WarningIcon,
        style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(IconSize, IconSize));
    ShowPending();
}

void SummaryText::ShowPending() {
    setHtml(QStringLiteral("<p>Shown when the run ends.</p>"));
}

// The warnings come first, where they are read before the figures they qualify.
void SummaryText::Show(const InputSummary& summary, const LinearModel::Input& input,
                       bool sharedDenominator) {
    QString html;
    for (const std::string& warning : summary.Warnings) {
        html += QStringLiteral("<p><img src=\"%1\" width=\"%2\" height=\"%2\"> %3</p>")
                    .arg(WarningIcon.toString())
                    .arg(IconSize)
                    .arg(QString::fromStdString(warning).toHtmlEscaped());
    }
    html += Figures(summary);
    const std::vector<double> denominator = input.Denominator();
    const std::size_t poles = summary.Std.Denominator.size();
    html += Line(QStringLiteral("Numerator"), Coefficients(input.Numerator(), summary.Std.Numerator));
    html += Line(sharedDenominator ? QStringLiteral("Denominator (shared by every input)")
                                   : QStringLiteral("Denominator"),
                 Coefficients({denominator.begin(),
                               denominator.begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(poles, denominator.size()))},
                              summary.Std.Denominator));
    html += QStringLiteral("<p>Coefficients in descending powers of z, the delay apart; ± one "
                           "standard deviation, assuming white residuals.</p>");
    setHtml(html);
}

} // namespace orvanel
