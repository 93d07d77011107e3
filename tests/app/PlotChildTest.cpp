// The plot window on its own: what it shows when created, its layout, menus, and the frame's
// Copy, Paste and Print commands while it is the active child.

#include "app/PlotChild.h"

#include "app/FractionText.h"
#include "app/MainForm.h"
#include "app/ModelViews.h"
#include "app/SummaryText.h"
#include "app/TuningPanel.h"
#include "document/formats/FunctionView.h"
#include "document/run/ModelSummary.h"
#include "engine/analysis/ModelUncertainty.h"
#include "engine/analysis/ModelWarnings.h"
#include "engine/linear/LinearModel.h"
#include "model/FunTrans.h"
#include "support/FakeUserDialogs.h"
#include "support/WindowLeakCheck.h"
#include "window/MSChart.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <qcustomplot.h>
#include <random>

namespace orvanel {

class PlotChildTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainForm> form_;
    FakeUserDialogs* dialogs_ = nullptr;
    TPlotMDIChild* plot_ = nullptr;

    FractionText* Fraction(const char* name) const {
        return plot_->findChild<FractionText*>(QString::fromLatin1(name));
    }
    QString Text(const char* name) const { return Fraction(name)->Text(); }
    void Fill(int rows) {
        TMSChart& chart = plot_->OutputChart();
        chart.SetRowCount(rows);
        for (int r = 1; r <= rows; ++r) {
            chart.SetRow(r);
            chart.SetColumn(1);
            chart.SetData(std::to_string(r));
            chart.SetColumn(2);
            chart.SetData(std::to_string(r) + ".5");
        }
        chart.show();
    }

    // K e^(-5 s) / (20 s + 1) sampled at 1 s: b z^-5 / (z - a).
    static LinearModel FirstOrder() {
        const double a = std::exp(-1.0 / 20.0);
        LinearModel model;
        model.Inputs.push_back({2.0 * (1.0 - a), {}, {{false, a, 0.0, 0.0}}, 5});
        return model;
    }
    // Shows `model`'s only input as a run that ended would.
    void ShowModel(const LinearModel& model, std::optional<ModelUncertainty> uncertainty = {}) {
        plot_->ShowSummary({model, ModelSummary::Of(model, 1.0), std::move(uncertainty)});
        plot_->ShowFunction(FunctionView::Of(model.Inputs[0], '.'), '.');
    }

private slots:
    void init() {
        auto dialogs = std::make_unique<FakeUserDialogs>();
        dialogs_ = dialogs.get();
        form_ = std::make_unique<TMainForm>(std::move(dialogs));
        form_->resize(900, 700);
        form_->show();
        plot_ = dynamic_cast<TPlotMDIChild*>(form_->CreatePlotWindow());
        QVERIFY(plot_ != nullptr);
        form_->MdiArea()->setActiveSubWindow(form_->ChildWindows().constFirst());
    }

    void cleanup() {
        form_.reset();
        VerifyNoTopLevelWindows();
    }

    void startsEmptyWithOneInputAndTheChartHidden() {
        QCOMPARE(plot_->windowTitle(), QStringLiteral("Plot"));
        QVERIFY(plot_->isVisible());
        QVERIFY(!plot_->OutputChart().isVisible());
        QCOMPARE(Text("NumLabel"), QString());
        QCOMPARE(Text("DenLabel"), QString());
        auto* combo = plot_->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->itemText(0), QStringLiteral("Input 1"));
        QCOMPARE(plot_->ChosenInput(), 0);
        TMSChart& chart = plot_->OutputChart();
        chart.SetColumn(1);
        QCOMPARE(chart.ColumnLabel(), std::string("Exp"));
        chart.SetColumn(2);
        QCOMPARE(chart.ColumnLabel(), std::string("Calc"));
        // No document is captioned "Plot" less " - Plot": choosing an input does nothing.
        plot_->ComboBox1Change();
        QCOMPARE(Text("NumLabel"), QString());
        QCOMPARE(plot_->StepChart().RowCount(), 0);
    }

    void theInputChooserNamesTheImportedColumns() {
        auto* combo = plot_->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        plot_->PrepareRun(QStringLiteral("Plot"), 2, '.');
        plot_->NameInputs({"valve", ""});
        QCOMPARE(combo->itemText(0), QStringLiteral("Input 1 (valve)"));
        QCOMPARE(combo->itemText(1), QStringLiteral("Input 2"));
        // The views are titled with the chosen input where it has a name, and as before
        // where it has none.
        QCustomPlot* step = plot_->StepChart().Plot();
        QCustomPlot* frequency = plot_->findChild<QCustomPlot*>(QStringLiteral("FrequencyChart"));
        const auto title = [](QCustomPlot* plot) {
            auto* text = qobject_cast<QCPTextElement*>(plot->plotLayout()->element(0, 0));
            return text != nullptr ? text->text() : QString();
        };
        QCOMPARE(step->yAxis->label(), QStringLiteral("Step response \u2014 Input 1 (valve)"));
        QCOMPARE(title(frequency), QStringLiteral("Frequency response \u2014 Input 1 (valve)"));
        combo->setCurrentIndex(1);
        plot_->ComboBox1Change();
        QCOMPARE(step->yAxis->label(), QStringLiteral("Step response"));
        QCOMPARE(title(frequency), QString());
        QCOMPARE(frequency->plotLayout()->rowCount(), 2);
        combo->setCurrentIndex(0);
        // A third input added later keeps its plain name; the named ones keep theirs.
        plot_->PrepareRun(QStringLiteral("Plot"), 3, '.');
        QCOMPARE(combo->itemText(0), QStringLiteral("Input 1 (valve)"));
        QCOMPARE(combo->itemText(2), QStringLiteral("Input 3"));
        // The output's name titles the output chart's axis; without one it stays "Output".
        QCustomPlot* chart = plot_->OutputChart().Plot();
        plot_->NameOutput("temperature");
        QCOMPARE(chart->yAxis->label(), QStringLiteral("temperature"));
        plot_->NameOutput("");
        QCOMPARE(chart->yAxis->label(), QStringLiteral("Output"));
    }

    void theStepChartKeepsAUsableHeightAndTakesTheRest() {
        TMSChart& step = plot_->StepChart();
        plot_->resize(547, 120);
        QTRY_COMPARE(step.height(), step.minimumHeight());
        QVERIFY(step.minimumHeight() > 100);
        plot_->resize(700, 400);
        QTRY_VERIFY(step.height() > step.minimumHeight());
        const int lower = step.height();
        plot_->resize(700, 600);
        QTRY_COMPARE(step.height(), lower + 200);
        QCOMPARE(plot_->OutputChart().width(), 700 - TPlotMDIChild::SidePanelWidth);
    }

    void aLongFunctionIsShownWholeAndCopiesAsWritten() {
        // Fourteen poles over ten zeros: far more terms than one line of the panel holds.
        TFunTrans function;
        function.SetGeneCount(25);
        for (int g = 0; g < 24; ++g) {
            function.SetGeneValue(g, g < 14 ? 0.05 * (g + 1) : -0.03 * (g - 13));
            function.SetGeneType(g, g < 14 ? 1 : 0);
        }
        function.SetGeneValue(24, 1.5);
        function.SetGeneType(24, 5);
        TFunTrans expected;
        expected.CopyFrom(function);
        expected.StepResponse('.');
        plot_->ShowFunction(function, '.');

        FractionText* den = Fraction("DenLabel");
        const QString denominator = QString::fromStdString(expected.DenText);
        QVERIFY(denominator.count(u'+') == 14);
        QCOMPARE(den->Text(), denominator);
        QCOMPARE(den->toolTip(), denominator);
        QCOMPARE(Text("NumLabel"), QString::fromStdString(expected.NumText));
        // Every line of the wrapped text fits in the widget.
        QTRY_COMPARE(den->height(), den->heightForWidth(den->width()));
        QVERIFY(den->height() > 3 * den->fontMetrics().height());

        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        den->setFocus();
        den->selectAll();
        form_->CopyToolButtonClick();
        QCOMPARE(QGuiApplication::clipboard()->text(), denominator);
    }

    void aNegativeTermShowsWithAMinusSign() {
        FractionText* num = Fraction("NumLabel");
        const auto shown = [num] { return num->toPlainText().remove(QChar(0x200B)); };
        num->SetText(QStringLiteral("1·z^2+-0.56·z^1+1.5E-5"));
        QCOMPARE(shown(), QStringLiteral("1·z^2−0.56·z^1+1.5E-5"));
        QCOMPARE(num->Text(), QStringLiteral("1·z^2+-0.56·z^1+1.5E-5"));
        num->SetText(QStringLiteral("-0.5·z^1+-2E-3"));
        QCOMPARE(shown(), QStringLiteral("−0.5·z^1−2E-3"));
        QCOMPARE(num->toolTip(), shown());
    }

    void mergesAnEditAndAnAlgorithmMenu() {
        const QList<QMenu*> menus = plot_->MergedMenus();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->title(), QStringLiteral("&Edit"));
        QCOMPARE(menus[1]->title(), QStringLiteral("&Algorithm"));
        QStringList items;
        for (QMenu* menu : menus) {
            for (QAction* action : menu->actions()) {
                items.append(action->text() + u' ' + action->shortcut().toString());
            }
        }
        QCOMPARE(items, (QStringList{QStringLiteral("&Copy Ctrl+C"), QStringLiteral("&Paste "),
                                     QStringLiteral("Copy &Model "), QStringLiteral("&Options "),
                                     QStringLiteral("&Execute Ctrl+E")}));
    }

    void copyPutsTheChartPictureOnTheClipboardAndPasteDoesNothing() {
        Fill(20);
        QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
        form_->PasteToolButtonClick();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
        form_->CopyToolButtonClick();
        const QImage picture = QGuiApplication::clipboard()->image();
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), plot_->OutputChart().size());
    }

    void theViewsFollowTheFunctionAndNameAPoleOutsideTheCircle() {
        // 2 / (z^2 (z - 1.25)): an unstable pole and two of delay at the origin.
        TFunTrans function;
        function.SetGeneCount(4);
        const double values[] = {-1.25, 1.0, 1.0, 2.0};
        const int types[] = {1, 4, 4, 5};
        for (int g = 0; g < 4; ++g) {
            function.SetGeneValue(g, values[g]);
            function.SetGeneType(g, types[g]);
        }
        plot_->ShowFunction(function, '.');
        plot_->SetSampleTime(0.01);
        ModelViews& views = plot_->Views();
        // Nothing is drawn until a view is shown.
        QCOMPARE(views.Plot(ModelViews::FrequencyView)->graphCount(), 0);

        views.setCurrentIndex(ModelViews::PoleZeroView);
        QCustomPlot* poleZero = views.Plot(ModelViews::PoleZeroView);
        QCOMPARE(plot_->ChosenChart(), poleZero);
        QCOMPARE(poleZero->toolTip(), QStringLiteral("Poles on or outside the unit circle: 1.25"));
        QCOMPARE(poleZero->graph(1)->dataCount(), 2);
        QCOMPARE(poleZero->graph(2)->dataCount(), 1);

        views.setCurrentIndex(ModelViews::FrequencyView);
        const QCPGraph* phase = views.Plot(ModelViews::FrequencyView)->graph(1);
        QCOMPARE(phase->dataCount(), 400);
        // Nyquist in Hz, behind -180 degrees of the pole and 2 x 180 of the delay.
        QCOMPARE((phase->data()->constEnd() - 1)->key, 50.0);
        QVERIFY(qAbs((phase->data()->constEnd() - 1)->value + 540.0) < 1e-9);

        views.setCurrentIndex(ModelViews::ResidualView);
        plot_->ShowResiduals({1.0, -1.0, 1.0, -1.0}, {0.0, 1.0, 0.0, 1.0});
        const QStringList lines = views.DataLines(ModelViews::ResidualView);
        QCOMPARE(lines.mid(0, 4),
                 (QStringList{QStringLiteral("Autocorrelation"), QStringLiteral("0\t1"),
                              QStringLiteral("1\t-0.75"), QStringLiteral("2\t0.5")}));
    }

    void thePoleViewShowsEveryPoleAndZeroAtEqualScalesWhateverItsShape() {
        LinearModel::Input model;
        model.Zeros = {{false, -2.0}};
        model.Poles = {{false, 1.5}, {false, 0.961}};
        ModelViews& views = plot_->Views();
        views.ShowFunction(model);
        views.setCurrentIndex(ModelViews::PoleZeroView);
        QCustomPlot* chart = views.Plot(ModelViews::PoleZeroView);
        QWidget* frame = plot_->parentWidget();
        const auto relaidOut = [&](QSize size) {
            frame->resize(size);
            QTest::qWait(0);
            chart->replot();
            const QCPRange x = chart->xAxis->range();
            const QCPRange y = chart->yAxis->range();
            const double xScale = chart->axisRect()->width() / x.size();
            const double yScale = chart->axisRect()->height() / y.size();
            QVERIFY2(qAbs(xScale / yScale - 1.0) < 0.01,
                     qPrintable(QStringLiteral("%1 %2").arg(xScale).arg(yScale)));
        };
        const auto showsAll = [&] {
            const QCPRange x = chart->xAxis->range();
            const QCPRange y = chart->yAxis->range();
            return x.lower < -2.0 && x.upper > 1.5 && y.lower < -1.0 && y.upper > 1.0;
        };
        // A tall and narrow view, then a flat one.
        for (const QSize size : {QSize(547, 900), QSize(547, 260)}) {
            relaidOut(size);
            QVERIFY(showsAll());
        }

        const QPointF centre = chart->axisRect()->center();
        QWheelEvent wheel(centre, chart->mapToGlobal(centre), QPoint(), QPoint(0, 480),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(chart, &wheel);
        QVERIFY(!showsAll());
        relaidOut(QSize(547, 700));
        QVERIFY(!showsAll());
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, centre, chart->mapToGlobal(centre),
                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(chart, &doubleClick);
        QVERIFY(showsAll());
    }

    void theSummaryGivesTheFiguresAndTheTuningFollowsTauC() {
        ShowModel(FirstOrder());
        const QString text = plot_->Views().Summary().toPlainText();
        for (const char* figure :
             {"Static gain: 2", "Delay: 5 samples (5 s)", "Time constants: 20 s",
              "gain 2, time constant 20 s, dead time 5 s"}) {
            QVERIFY2(text.contains(QLatin1String(figure)), qPrintable(text));
        }
        QVERIFY2(text.contains(QLatin1String("Denominator: 1, ")), qPrintable(text));

        TuningPanel& tuning = plot_->Views().Tuning();
        const auto* tauC = tuning.findChild<QDoubleSpinBox*>(QStringLiteral("TauC"));
        QCOMPARE(tauC->value(), 5.0);
        QCustomPlot* loop = plot_->Views().Plot(ModelViews::TuningView);
        const QVector<double> before = [loop] {
            QVector<double> values;
            for (auto p = loop->graph(0)->data()->constBegin();
                 p != loop->graph(0)->data()->constEnd(); ++p) {
                values.append(p->value);
            }
            return values;
        }();
        for (const double tc : {5.0, 10.0}) {
            tuning.SetTauC(tc);
            const ControllerTuning::Controller& pi = tuning.Settings()->Pi;
            QVERIFY(std::abs(pi.Kc - 20.0 / (2.0 * (tc + 5.0))) < 1e-6);
            QVERIFY(std::abs(pi.Ti - std::min(20.0, 4.0 * (tc + 5.0))) < 1e-6);
            const QString settings =
                tuning.findChild<QLabel*>(QStringLiteral("TuningSettings"))->text();
            QVERIFY2(settings.contains(FigureText(pi.Kc)), qPrintable(settings));
        }
        // A slower loop is drawn anew, and its settling time marked where the figures say.
        const QCPGraph* output = loop->graph(0);
        QVERIFY(output->dataCount() != before.size() ||
                !std::equal(before.begin(), before.end(), output->data()->constBegin(),
                            [](double v, const QCPGraphData& p) { return v == p.value; }));
        const double settling = tuning.Settings()->PiLoop.SettlingTime;
        QCOMPARE(loop->graph(2)->data()->constBegin()->key, settling);
        QVERIFY(tuning.findChild<QLabel*>(QStringLiteral("ClosedLoopFigures"))
                    ->text()
                    .contains(FigureText(settling) + QStringLiteral(" s")));
        tuning.Choose(TuningPanel::Pid);
        QCOMPARE(loop->graph(2)->data()->constBegin()->key,
                 tuning.Settings()->PidLoop.SettlingTime);

        // Inputs that share their poles say so where the denominator is given.
        LinearModel shared = FirstOrder();
        shared.Inputs.push_back(shared.Inputs[0]);
        ShowModel(*shared.AsShared());
        QVERIFY(plot_->Views().Summary().toPlainText().contains(
            QLatin1String("Denominator (shared by every input): 1, ")));

        // A new run empties both tabs until it ends.
        plot_->ShowSummary({});
        QCOMPARE(plot_->Views().Summary().toPlainText(),
                 QStringLiteral("Shown when the run ends."));
        QVERIFY(!tuning.Settings());
    }

    void aPoleOnTheNegativeRealAxisIsWarnedOf() {
        LinearModel model;
        model.Inputs.push_back({1.0, {}, {{false, 0.8, 0.0, 0.0}, {false, -0.5, 0.0, 0.0}}, 0});
        ShowModel(model);
        const std::vector<std::string> warnings = ModelWarnings::Of(model.Inputs[0]);
        QCOMPARE(warnings.size(), std::size_t{1});
        const SummaryText& summary = plot_->Views().Summary();
        QVERIFY(summary.toPlainText().contains(QString::fromStdString(warnings[0])));
        QVERIFY(summary.toHtml().contains(QStringLiteral("orvanel:warning")));
        QVERIFY(
            !summary.document()
                 ->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("orvanel:warning")))
                 .isNull());
    }

    void theBandsAreDrawnOnRequestAroundTheResponses() {
        const LinearModel model = FirstOrder();
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, 0.05);
        std::vector<double> input(400);
        for (std::size_t k = 0; k < input.size(); ++k) {
            input[k] = (k / 40) % 2 == 0 ? 1.0 : -1.0;
        }
        const std::span<const double> columns[] = {input};
        std::vector<double> output = model.Simulate(columns, input.size());
        for (double& y : output) {
            y += noise(random);
        }
        const auto uncertainty = ModelUncertainty::Estimate(model, columns, output, output.size());
        QVERIFY(uncertainty);
        ShowModel(model, uncertainty);
        plot_->StepChart().Refresh();
        ModelViews& views = plot_->Views();
        QCustomPlot* step = views.Plot(ModelViews::StepView);
        QCOMPARE(step->plottableCount(), 1);

        views.BandAction().setChecked(true);
        plot_->StepChart().Refresh();
        QCOMPARE(step->plottableCount(), 3);
        // The band lies around the response drawn, sample for sample.
        const auto* upper = qobject_cast<QCPCurve*>(step->plottable(1));
        const auto* lower = qobject_cast<QCPCurve*>(step->plottable(2));
        QVERIFY(upper && lower);
        for (int i = 10; i < 40; i += 7) {
            const double key = upper->data()->at(i)->key;
            const double value = step->graph(0)->data()->findBegin(key, false)->value;
            QCOMPARE(step->graph(0)->data()->findBegin(key, false)->key, key);
            const double middle = (upper->data()->at(i)->value + lower->data()->at(i)->value) / 2;
            QVERIFY(std::abs(middle - value) < 1e-9);
            QVERIFY(upper->data()->at(i)->value > value);
        }
        views.setCurrentIndex(ModelViews::FrequencyView);
        QCOMPARE(views.Plot(ModelViews::FrequencyView)->graphCount(), 6);
        // Data this noisy give a band wider than the curves span: it keeps to their axes.
        std::vector<double> noisy = output;
        std::normal_distribution<double> loud(0.0, 20.0);
        for (double& y : noisy) {
            y += loud(random);
        }
        ShowModel(model, ModelUncertainty::Estimate(model, columns, noisy, noisy.size()));
        QCustomPlot* frequency = views.Plot(ModelViews::FrequencyView);
        QCOMPARE(frequency->graphCount(), 6);
        for (int g = 2; g < 6; ++g) {
            const QCPRange range = frequency->graph(g)->valueAxis()->range();
            for (auto point = frequency->graph(g)->data()->constBegin();
                 point != frequency->graph(g)->data()->constEnd(); ++point) {
                QVERIFY(range.contains(point->value));
            }
        }
        views.BandAction().setChecked(false);
        QCOMPARE(views.Plot(ModelViews::FrequencyView)->graphCount(), 2);
        QCOMPARE(step->plottableCount(), 1);
    }

    void theStepChartIsTitledAndTickedAtRoundTimes() {
        TMSChart& step = plot_->StepChart();
        step.SetRowCount(150);
        for (int r = 1; r <= 150; ++r) {
            step.SetRow(r);
            step.SetData(std::to_string(r));
        }
        step.SetRow(46);
        step.SetData("203.167432165913");
        QCustomPlot* chart = step.Plot();
        step.Refresh();
        QCOMPARE(chart->xAxis->label(), QStringLiteral("Samples"));
        QCOMPARE(step.PointText(46), std::string("Sample 46   203.2"));
        QVERIFY(!chart->yAxis->label().isEmpty());
        plot_->SetSampleTime(3.0);
        step.Refresh();
        chart->replot();
        QCOMPARE(chart->xAxis->label(), QStringLiteral("Time (s)"));
        QCOMPARE(step.PointText(46), std::string("Time 135 s   203.2"));
        const QVector<double> ticks = chart->xAxis->tickVector();
        const QVector<QString> labels = chart->xAxis->tickVectorLabels();
        QVERIFY(ticks.size() >= 3);
        const double spacing = labels[1].toDouble() - labels[0].toDouble();
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            const double seconds = labels[i].toDouble();
            // Each label names the time of the point it stands at, a whole number of spacings.
            QCOMPARE((ticks[i] - 1.0) * 3.0, seconds);
            QCOMPARE(std::remainder(seconds, spacing), 0.0);
        }
        QVERIFY(std::remainder(spacing, 50.0) == 0.0 || std::remainder(100.0, spacing) == 0.0);
    }

    void exportsTheChosenChartByItsExtension() {
        Fill(20);
        QTemporaryDir dir;
        const QList<QPair<QString, QByteArray>> formats = {
            {QStringLiteral("chart.png"), QByteArray("\x89PNG")},
            {QStringLiteral("chart.pdf"), QByteArray("%PDF")},
            {QStringLiteral("chart.svg"), QByteArray("<?xml")}};
        for (const auto& [name, start] : formats) {
            dialogs_->chartAnswer = dir.filePath(name);
            form_->ExportChartMenuClick();
            QFile file(dialogs_->chartAnswer);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
            QVERIFY2(file.readAll().startsWith(start), qPrintable(name));
        }
        QVERIFY(dialogs_->errors.isEmpty());
        dialogs_->chartAnswer = dir.filePath(QStringLiteral("chart.txt"));
        form_->ExportChartMenuClick();
        QCOMPARE(dialogs_->errors.size(), 1);
        QVERIFY(!QFile::exists(dialogs_->chartAnswer));
    }

    void printsAHeaderAndOneLinePerPoint() {
        Fill(100);
        const QStringList lines = plot_->ChartDataLines();
        QCOMPARE(lines.size(), 101);
        QCOMPARE(lines.first(), QStringLiteral("Exp\tCalc"));
        QCOMPARE(lines.last(), QStringLiteral("100\t100.5"));
        if (!QPrinterInfo::defaultPrinter().isNull()) {
            QSKIP("a printer is installed: printing would reach it");
        }
        QTemporaryDir dir;
        dialogs_->pdfAnswer = dir.filePath(QStringLiteral("plot.pdf"));
        form_->PrintMenuClick();
        QFile pdf(dialogs_->pdfAnswer);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));
    }
};

} // namespace orvanel

QTEST_MAIN(orvanel::PlotChildTest)
#include "PlotChildTest.moc"
