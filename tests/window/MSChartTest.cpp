#include "window/MSChart.h"

#include "model/NumberText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <qcustomplot.h>
#include <stdexcept>
#include <string>
#include <vector>

using orvanel::TMSChart;

namespace {

void SetCell(TMSChart& chart, int row, int column, const std::string& text) {
    chart.SetRow(row);
    chart.SetColumn(column);
    chart.SetData(text);
}

std::string CellText(TMSChart& chart, int row, int column) {
    chart.SetRow(row);
    chart.SetColumn(column);
    return chart.Data();
}

// The values the plot holds for a series, in point order.
std::vector<double> PlottedValues(const TMSChart& chart, int series) {
    std::vector<double> values;
    const auto data = chart.Plot()->graph(series)->data();
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        values.push_back(it->value);
    return values;
}

template <typename Exception, typename Call> QString ThrownMessage(Call call) {
    try {
        call();
    } catch (const Exception& error) {
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("nothing thrown");
}

} // namespace

class MSChartTest : public QObject {
    Q_OBJECT

private slots:
    void cellsKeepTheirTextsLabelsAndSelection();
    void countsShrinkAndGrow();
    void outOfRangeCallsThrowAndChangeNothing();
    void plotShowsParsedValuesLabelsAndLegend();
    void valueAxisStaysUsableForFlatMissingAndExtremeData();
    void decimalSeparatorRereadsStoredTexts();
    void manyCellsGiveOneDeferredReplot();
    void hundredThousandPointsAreStoredPlottedAndReadBack();
    void copyPutsThePictureOnTheClipboard();
    void pointerReadsThePointAndZoomLastsUntilDoubleClick();
};

void MSChartTest::cellsKeepTheirTextsLabelsAndSelection() {
    TMSChart chart;
    QCOMPARE(chart.RowCount(), 0);
    QCOMPARE(chart.ColumnCount(), 1);
    QCOMPARE(chart.Row(), 0);
    QCOMPARE(chart.Column(), 1);

    chart.SetRowCount(3);
    chart.SetColumnCount(2);
    QCOMPARE(chart.Row(), 1);
    SetCell(chart, 1, 1, "0.5");
    SetCell(chart, 2, 1, "abc");
    SetCell(chart, 3, 2, " 1E3");
    QCOMPARE(chart.Row(), 3);
    QCOMPARE(chart.Column(), 2);
    QCOMPARE(CellText(chart, 1, 1), std::string("0.5"));
    QCOMPARE(CellText(chart, 2, 1), std::string("abc"));
    QCOMPARE(CellText(chart, 3, 2), std::string(" 1E3"));
    QCOMPARE(CellText(chart, 1, 2), std::string());

    chart.SetColumn(1);
    chart.SetColumnLabel("Exp");
    chart.SetColumn(2);
    chart.SetColumnLabel("Calc");
    QCOMPARE(chart.ColumnLabel(), std::string("Calc"));
    chart.SetColumn(1);
    QCOMPARE(chart.ColumnLabel(), std::string("Exp"));

    QVERIFY(chart.ShowLegend());
    chart.SetShowLegend(false);
    QVERIFY(!chart.ShowLegend());
}

void MSChartTest::countsShrinkAndGrow() {
    TMSChart chart;
    chart.SetRowCount(3);
    chart.SetColumnCount(3);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c)
            SetCell(chart, r, c, std::to_string(10 * r + c));
    chart.SetColumnLabel("third");

    chart.SetRowCount(2);
    QCOMPARE(chart.Row(), 2);
    chart.SetRowCount(4);
    QCOMPARE(chart.Row(), 2);
    QCOMPARE(CellText(chart, 2, 3), std::string("23"));
    QCOMPARE(CellText(chart, 3, 3), std::string());
    QCOMPARE(CellText(chart, 4, 1), std::string());

    chart.SetColumn(3);
    chart.SetColumnCount(2);
    QCOMPARE(chart.Column(), 2);
    QCOMPARE(CellText(chart, 1, 2), std::string("12"));
    chart.SetColumnCount(3);
    chart.SetColumn(3);
    QCOMPARE(chart.ColumnLabel(), std::string());
    QCOMPARE(CellText(chart, 1, 3), std::string());

    chart.SetRowCount(0);
    QCOMPARE(chart.Row(), 0);
    chart.SetRowCount(2);
    QCOMPARE(chart.Row(), 1);
    QCOMPARE(chart.Data(), std::string());
}

void MSChartTest::outOfRangeCallsThrowAndChangeNothing() {
    TMSChart chart;
    QCOMPARE(ThrownMessage<std::out_of_range>([&] { chart.Data(); }),
             QStringLiteral("Data: the chart has no points"));
    QCOMPARE(ThrownMessage<std::out_of_range>([&] { chart.SetData("1"); }),
             QStringLiteral("SetData: the chart has no points"));
    QCOMPARE(ThrownMessage<std::out_of_range>([&] { chart.SetRow(1); }),
             QStringLiteral("Row 1 is outside 1..0"));

    chart.SetRowCount(3);
    chart.SetColumnCount(2);
    SetCell(chart, 2, 2, "7");
    QCOMPARE(ThrownMessage<std::out_of_range>([&] { chart.SetRow(4); }),
             QStringLiteral("Row 4 is outside 1..3"));
    QCOMPARE(ThrownMessage<std::out_of_range>([&] { chart.SetColumn(0); }),
             QStringLiteral("Column 0 is outside 1..2"));
    QCOMPARE(ThrownMessage<std::out_of_range>([&] { chart.SetRowCount(-1); }),
             QStringLiteral("Row count -1 is outside 0..1000000"));
    QCOMPARE(ThrownMessage<std::out_of_range>([&] { chart.SetColumnCount(0); }),
             QStringLiteral("Column count 0 is outside 1..256"));
    QCOMPARE(ThrownMessage<std::invalid_argument>([&] { chart.SetDecimalSeparator('e'); }),
             QStringLiteral("Decimal separator 'e' cannot be a digit, a sign, 'e' or 'E'"));

    QCOMPARE(chart.RowCount(), 3);
    QCOMPARE(chart.ColumnCount(), 2);
    QCOMPARE(chart.Row(), 2);
    QCOMPARE(chart.Column(), 2);
    QCOMPARE(chart.Data(), std::string("7"));
    QCOMPARE(chart.DecimalSeparator(), '.');
}

void MSChartTest::plotShowsParsedValuesLabelsAndLegend() {
    TMSChart chart;
    chart.SetColumnCount(2);
    chart.SetColumn(2);
    chart.SetColumnLabel("Calc");
    chart.SetRowCount(4);
    const char* measured[] = {"1.5", "abc", "-2E1", ""};
    for (int r = 1; r <= 4; ++r)
        SetCell(chart, r, 1, measured[r - 1]);
    SetCell(chart, 1, 2, "3");
    chart.Refresh();

    QCustomPlot* plot = chart.Plot();
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(plot->graph(1)->name(), QStringLiteral("Calc"));
    const auto data = plot->graph(0)->data();
    QCOMPARE(data->size(), 4);
    for (int r = 0; r < 4; ++r)
        QCOMPARE(data->at(r)->key, double(r + 1));
    const std::vector<double> values = PlottedValues(chart, 0);
    QCOMPARE(values[0], 1.5);
    QVERIFY(std::isnan(values[1]));
    QCOMPARE(values[2], -20.0);
    QVERIFY(std::isnan(values[3]));

    QCOMPARE(plot->xAxis->range().lower, 1.0);
    QCOMPARE(plot->xAxis->range().upper, 4.0);
    QCOMPARE(plot->yAxis->range().center(), -8.5);
    QCOMPARE(plot->yAxis->range().size(), 23.0 * 1.1);

    // The legend sits above the data, not over it; hidden, it takes no room.
    QVERIFY(plot->legend->visible());
    plot->resize(400, 300);
    plot->replot();
    QVERIFY(!plot->legend->outerRect().intersects(plot->axisRect()->outerRect()));
    chart.SetShowLegend(false);
    chart.SetColumnCount(1);
    chart.Refresh();
    QVERIFY(!plot->legend->visible());
    QCOMPARE(plot->plotLayout()->rowCount(), 1);
    QCOMPARE(plot->graphCount(), 1);
}

void MSChartTest::valueAxisStaysUsableForFlatMissingAndExtremeData() {
    TMSChart chart;
    chart.SetRowCount(2);
    SetCell(chart, 1, 1, "x");
    chart.Refresh();
    QCOMPARE(chart.Plot()->yAxis->range(), QCPRange(-1, 1));

    SetCell(chart, 1, 1, "5");
    SetCell(chart, 2, 1, "5");
    chart.Refresh();
    SetCell(chart, 1, 1, "5.0");
    chart.Refresh();
    QCOMPARE(chart.Plot()->yAxis->range(), QCPRange(4, 6));

    SetCell(chart, 1, 1, "1E300");
    SetCell(chart, 2, 1, "-1E300");
    chart.Refresh();
    const QCPRange range = chart.Plot()->yAxis->range();
    QVERIFY(QCPRange::validRange(range));
    QCOMPARE(range.upper, -range.lower);
    QVERIFY(range.upper > 1e249);
}

void MSChartTest::decimalSeparatorRereadsStoredTexts() {
    TMSChart chart;
    chart.SetDecimalSeparator(',');
    chart.SetRowCount(2);
    SetCell(chart, 1, 1, "1,5");
    SetCell(chart, 2, 1, "2.5");
    chart.Refresh();
    std::vector<double> values = PlottedValues(chart, 0);
    QCOMPARE(values[0], 1.5);
    QVERIFY(std::isnan(values[1]));

    chart.SetDecimalSeparator('.');
    chart.Refresh();
    values = PlottedValues(chart, 0);
    QVERIFY(std::isnan(values[0]));
    QCOMPARE(values[1], 2.5);
    QCOMPARE(CellText(chart, 1, 1), std::string("1,5"));
}

void MSChartTest::manyCellsGiveOneDeferredReplot() {
    TMSChart chart;
    chart.resize(300, 200);
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    QSignalSpy replots(chart.Plot(), &QCustomPlot::afterReplot);

    chart.SetRowCount(1000);
    for (int r = 1; r <= 1000; ++r)
        SetCell(chart, r, 1, std::to_string(r));
    QCOMPARE(chart.Plot()->graph(0)->dataCount(), 0);
    QCOMPARE(replots.count(), 0);

    QTRY_COMPARE(chart.Plot()->graph(0)->dataCount(), 1000);
    QCoreApplication::processEvents();
    QCOMPARE(replots.count(), 1);
    QCOMPARE(PlottedValues(chart, 0).back(), 1000.0);
}

void MSChartTest::hundredThousandPointsAreStoredPlottedAndReadBack() {
    constexpr int Points = 100'000;
    std::vector<std::string> texts;
    for (int i = 0; i < Points; ++i)
        texts.push_back(orvanel::FormatGeneral(std::sin(0.001 * i) * 1e-3, 15));

    TMSChart chart;
    chart.SetColumnCount(2);
    chart.SetRowCount(Points);
    for (int r = 1; r <= Points; ++r) {
        SetCell(chart, r, 1, texts[r - 1]);
        SetCell(chart, r, 2, std::to_string(r));
    }
    chart.Refresh();

    QCOMPARE(chart.RowCount(), Points);
    QVERIFY(chart.Plot()->graph(0)->adaptiveSampling());
    const std::vector<double> measured = PlottedValues(chart, 0);
    const std::vector<double> counted = PlottedValues(chart, 1);
    QCOMPARE(measured.size(), std::size_t(Points));
    for (int r = 1; r <= Points; ++r) {
        QCOMPARE(CellText(chart, r, 1), texts[r - 1]);
        QCOMPARE(measured[r - 1], *orvanel::ParseNumber(texts[r - 1]));
        QCOMPARE(counted[r - 1], double(r));
    }
}

void MSChartTest::copyPutsThePictureOnTheClipboard() {
    TMSChart chart;
    chart.resize(400, 300);
    chart.SetColumnCount(2);
    chart.SetRowCount(50);
    for (int r = 1; r <= 50; ++r) {
        SetCell(chart, r, 1, std::to_string(r % 7));
        SetCell(chart, r, 2, std::to_string(r % 5));
    }
    QGuiApplication::clipboard()->clear();
    chart.CopyToClipboard();

    const QImage image = QGuiApplication::clipboard()->image();
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(400, 300));
    int bluePixels = 0;
    int redPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            bluePixels += pixel.blue() > 200 && pixel.red() < 100 && pixel.green() < 100;
            redPixels += pixel.red() > 200 && pixel.blue() < 100 && pixel.green() < 100;
        }
    }
    QVERIFY(bluePixels > 100);
    QVERIFY(redPixels > 100);
}

void MSChartTest::pointerReadsThePointAndZoomLastsUntilDoubleClick() {
    TMSChart chart;
    chart.resize(400, 300);
    chart.SetColumnCount(2);
    chart.SetColumn(2);
    chart.SetColumnLabel("Calc");
    chart.SetRowCount(10);
    for (int r = 1; r <= 10; ++r) {
        SetCell(chart, r, 1, std::to_string(r));
        SetCell(chart, r, 2, std::to_string(2 * r) + ".5");
    }
    chart.show();
    QVERIFY(QTest::qWaitForWindowExposed(&chart));
    chart.Refresh();
    QCustomPlot* plot = chart.Plot();
    plot->replot();
    const QPointF atFour(plot->xAxis->coordToPixel(4.2), plot->yAxis->coordToPixel(5));
    QMouseEvent move(QEvent::MouseMove, atFour, plot->mapToGlobal(atFour), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(plot, &move);
    QCOMPARE(QString::fromStdString(chart.PointerText()),
             QStringLiteral("Sample 4   4   Calc 8.5"));
    QCOMPARE(chart.PointText(11), std::string());
    // A new model's values reach the read-out without the pointer moving, drawn over the curves.
    SetCell(chart, 4, 2, "9.25");
    chart.Refresh();
    QCOMPARE(QString::fromStdString(chart.PointerText()),
             QStringLiteral("Sample 4   4   Calc 9.25"));
    for (int i = 0; i < plot->itemCount(); ++i) {
        if (qobject_cast<QCPItemText*>(plot->item(i)) != nullptr)
            QVERIFY(plot->item(i)->layer()->index() > plot->graph(1)->layer()->index());
    }

    QWheelEvent wheel(atFour, plot->mapToGlobal(atFour), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(plot, &wheel);
    const QCPRange zoomed = plot->xAxis->range();
    QVERIFY(zoomed.size() < 9.0);
    SetCell(chart, 10, 1, "100");
    chart.Refresh();
    QCOMPARE(plot->xAxis->range(), zoomed);

    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, atFour, plot->mapToGlobal(atFour),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(plot, &doubleClick);
    QCOMPARE(plot->xAxis->range(), QCPRange(1, 10));
    QCOMPARE(plot->yAxis->range().upper, 100 + 99 * 0.05);
}

QTEST_MAIN(MSChartTest)
#include "MSChartTest.moc"
