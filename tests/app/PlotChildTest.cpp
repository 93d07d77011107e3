// The plot window on its own: what it shows when created, its layout, menus, and the frame's
// Copy, Paste and Print commands while it is the active child.

#include "app/PlotChild.h"

#include "app/FractionText.h"
#include "app/MainForm.h"
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
        QCOMPARE(items,
                 (QStringList{QStringLiteral("&Copy Ctrl+C"), QStringLiteral("&Paste "),
                              QStringLiteral("&Options "), QStringLiteral("&Execute Ctrl+E")}));
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
