// The plot window on its own: what it shows when created, its layout, menus, and the frame's
// Copy, Paste and Print commands while it is the active child.

#include "app/PlotChild.h"

#include "app/FractionText.h"
#include "app/MainForm.h"
#include "app/ModelViews.h"
#include "engine/LinearModel.h"
#include "model/FunTrans.h"
#include "support/FakeUserDialogs.h"
#include "support/WindowLeakCheck.h"
#include "window/MSChart.h"

#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <qcustomplot.h>

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
        // A third input added later keeps its plain name; the named ones keep theirs.
        plot_->PrepareRun(QStringLiteral("Plot"), 3, '.');
        QCOMPARE(combo->itemText(0), QStringLiteral("Input 1 (valve)"));
        QCOMPARE(combo->itemText(2), QStringLiteral("Input 3"));
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

    void theStepChartIsTitledAndTickedAtRoundTimes() {
        TMSChart& step = plot_->StepChart();
        step.SetRowCount(150);
        for (int r = 1; r <= 150; ++r) {
            step.SetRow(r);
            step.SetData(std::to_string(r));
        }
        QCustomPlot* chart = step.Plot();
        step.Refresh();
        QCOMPARE(chart->xAxis->label(), QStringLiteral("Samples"));
        QVERIFY(!chart->yAxis->label().isEmpty());
        plot_->SetSampleTime(3.0);
        step.Refresh();
        chart->replot();
        QCOMPARE(chart->xAxis->label(), QStringLiteral("Time (s)"));
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
