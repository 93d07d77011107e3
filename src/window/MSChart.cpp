#include "window/MSChart.h"

#include "model/NumberText.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <qcustomplot.h>
#include <stdexcept>

namespace orvanel {

namespace {

constexpr double NotPlotted = std::numeric_limits<double>::quiet_NaN();
// Room above and below the data, as a share of its span.
constexpr double ValueAxisMargin = 0.05;
// Half the height of the band around a flat line, as a share of its value (at least 1).
constexpr double FlatBandHalfWidth = 0.1;
// The size of a copied picture when the chart has not been laid out yet.
constexpr int DefaultPictureWidth = 640;
constexpr int DefaultPictureHeight = 480;
// The smallest chart, in text lines, that still shows its axes with their labels.
constexpr int MinimumWidthLines = 10;
constexpr int MinimumHeightLines = 8;
// Enough for any time a sample step gives, without the rounding of its multiples.
constexpr int TimeDigits = 9;

const Qt::GlobalColor SeriesColors[] = {Qt::blue,     Qt::red,        Qt::darkGreen, Qt::magenta,
                                        Qt::darkCyan, Qt::darkYellow, Qt::black,     Qt::gray};

void RequireInRange(const char* what, int value, int low, int high) {
    if (value < low || value > high)
        throw std::out_of_range(std::string(what) + " " + std::to_string(value) + " is outside " +
                                std::to_string(low) + ".." + std::to_string(high));
}

// The value axis range for values from low to high (low > high when there are none), with a
// margin so that the extreme points do not sit on the frame. QCustomPlot refuses ranges wider
// than QCPRange::maxRange or narrower than QCPRange::minRange, so extreme values are cut at a
// quarter of the widest range and a flat line gets a band around it.
QCPRange ValueAxisRange(double low, double high) {
    if (low > high)
        return QCPRange(-1, 1);
    const double limit = QCPRange::maxRange / 4;
    low = std::clamp(low, -limit, limit);
    high = std::clamp(high, -limit, limit);
    const double margin = (high - low) * ValueAxisMargin;
    const QCPRange range(low - margin, high + margin);
    if (QCPRange::validRange(range))
        return range;
    const double centre = low / 2 + high / 2;
    const double halfWidth = std::max(std::abs(centre) * FlatBandHalfWidth, 1.0);
    return QCPRange(centre - halfWidth, centre + halfWidth);
}

QColor SeriesColor(int index) {
    return QColor(SeriesColors[static_cast<std::size_t>(index) % std::size(SeriesColors)]);
}

} // namespace

TMSChart::TMSChart(QWidget* parent)
    : QWidget(parent), plot_(new QCustomPlot(this)), pointText_(new QCPItemText(plot_)),
      title_(new QCPTextElement(plot_)), shade_(new QCPItemRect(plot_)),
      shadeEdge_(new QCPItemStraightLine(plot_)), series_(1) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    const int line = fontMetrics().height();
    setMinimumSize(MinimumWidthLines * line, MinimumHeightLines * line);
    plot_->legend->setFillOrder(QCPLegend::foColumnsFirst);
    plot_->legend->setBorderPen(Qt::NoPen);
    SyncGraphs();
    PlaceLegend();
    SetUpInteractions();
    SetUpShade();
}

void TMSChart::SetUpShade() {
    for (QCPItemPosition* corner : {shade_->topLeft, shade_->bottomRight}) {
        corner->setTypeX(QCPItemPosition::ptPlotCoords);
        corner->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    shade_->setPen(Qt::NoPen);
    shade_->setBrush(QColor(0, 0, 0, 20));
    shadeEdge_->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    shade_->setVisible(false);
    shadeEdge_->setVisible(false);
    title_->setTextFlags(Qt::AlignLeft | Qt::AlignVCenter);
}

void TMSChart::SetTitle(std::string_view title) {
    title_->setText(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
    ScheduleRefresh();
}

std::string TMSChart::Title() const {
    return title_->text().toStdString();
}

void TMSChart::SetShadedFrom(int row) {
    shadedFrom_ = std::max(row, 0);
    ScheduleRefresh();
}

void TMSChart::SyncShade() {
    const bool shown = shadedFrom_ >= 1 && shadedFrom_ <= rowCount_;
    shade_->setVisible(shown);
    shadeEdge_->setVisible(shown);
    if (!shown)
        return;
    shade_->topLeft->setCoords(shadedFrom_, 0);
    shade_->bottomRight->setCoords(rowCount_, 1);
    shadeEdge_->point1->setCoords(shadedFrom_, 0);
    shadeEdge_->point2->setCoords(shadedFrom_, 1);
}

void TMSChart::SetUpInteractions() {
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    connect(plot_, &QCustomPlot::mouseWheel, this, [this] { axesFollowData_ = false; });
    connect(plot_, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
        if (event->buttons() != Qt::NoButton)
            axesFollowData_ = false;
        ShowPointAt(event->position().toPoint());
    });
    connect(plot_, &QCustomPlot::mouseDoubleClick, this, [this] {
        axesFollowData_ = true;
        SyncAxes();
        plot_->replot();
    });
    // Above the curves, which would otherwise be drawn over the read-out's box.
    pointText_->setLayer(QStringLiteral("overlay"));
    pointText_->setPositionAlignment(Qt::AlignTop | Qt::AlignLeft);
    pointText_->position->setType(QCPItemPosition::ptAxisRectRatio);
    pointText_->position->setCoords(0, 0);
    pointText_->setPadding(QMargins(4, 2, 4, 2));
    pointText_->setBrush(QColor(255, 255, 255, 220));
    pointText_->setClipToAxisRect(true);
    pointText_->setVisible(false);
}

void TMSChart::SetRowCount(int rows) {
    RequireInRange("Row count", rows, 0, MaxRowCount);
    for (Series& series : series_) {
        series.texts.resize(static_cast<std::size_t>(rows));
        series.values.resize(static_cast<std::size_t>(rows), NotPlotted);
    }
    rowCount_ = rows;
    row_ = rows == 0 ? 0 : std::clamp(row_, 1, rows);
    ScheduleRefresh();
}

void TMSChart::SetColumnCount(int columns) {
    RequireInRange("Column count", columns, 1, MaxColumnCount);
    const auto oldCount = series_.size();
    series_.resize(static_cast<std::size_t>(columns));
    for (auto i = oldCount; i < series_.size(); ++i) {
        series_[i].texts.resize(static_cast<std::size_t>(rowCount_));
        series_[i].values.resize(static_cast<std::size_t>(rowCount_), NotPlotted);
    }
    column_ = std::min(column_, columns);
    ScheduleRefresh();
}

void TMSChart::SetRow(int row) {
    RequireInRange("Row", row, 1, rowCount_);
    row_ = row;
}

void TMSChart::SetColumn(int column) {
    RequireInRange("Column", column, 1, ColumnCount());
    column_ = column;
}

void TMSChart::SetData(std::string_view text) {
    RequireCurrentCell("SetData");
    Series& series = CurrentSeries();
    const auto index = static_cast<std::size_t>(row_ - 1);
    // Each refill gives most cells their own text again (the measured output never changes);
    // such a cell keeps its value without being read again.
    if (series.texts[index] == text)
        return;
    series.texts[index].assign(text);
    series.values[index] = ReadValue(text);
    ScheduleRefresh();
}

const std::string& TMSChart::Data() const {
    RequireCurrentCell("Data");
    return CurrentSeries().texts[static_cast<std::size_t>(row_ - 1)];
}

void TMSChart::SetColumnLabel(std::string_view label) {
    CurrentSeries().label.assign(label);
    ScheduleRefresh();
}

const std::string& TMSChart::ColumnLabel() const {
    return CurrentSeries().label;
}

void TMSChart::SetAxisTitles(std::string_view x, std::string_view y) {
    plot_->xAxis->setLabel(QString::fromUtf8(x.data(), static_cast<qsizetype>(x.size())));
    plot_->yAxis->setLabel(QString::fromUtf8(y.data(), static_cast<qsizetype>(y.size())));
    ScheduleRefresh();
}

void TMSChart::SetShowLegend(bool show) {
    showLegend_ = show;
    ScheduleRefresh();
}

void TMSChart::SetDecimalSeparator(char separator) {
    if ((separator >= '0' && separator <= '9') || separator == '+' || separator == '-' ||
        separator == 'e' || separator == 'E')
        throw std::invalid_argument(std::string("Decimal separator '") + separator +
                                    "' cannot be a digit, a sign, 'e' or 'E'");
    if (separator == decimalSeparator_)
        return;
    decimalSeparator_ = separator;
    for (Series& series : series_) {
        for (std::size_t i = 0; i < series.texts.size(); ++i)
            series.values[i] = ReadValue(series.texts[i]);
    }
    ScheduleRefresh();
}

void TMSChart::CopyToClipboard() {
    Refresh();
    QSize pictureSize = size();
    if (pictureSize.isEmpty())
        pictureSize = QSize(DefaultPictureWidth, DefaultPictureHeight);
    const QPixmap picture = plot_->toPixmap(pictureSize.width(), pictureSize.height());
    QGuiApplication::clipboard()->setImage(picture.toImage());
}

void TMSChart::Refresh() {
    refreshQueued_ = false;
    if (!SyncPlot())
        return;
    // The point under a pointer that stays put may have new texts or be another point now.
    UpdatePointText();
    // QCustomPlot draws into a buffer of its own size, which cannot be painted on when empty.
    if (!plot_->size().isEmpty())
        plot_->replot();
}

std::string TMSChart::PointText(int row) const {
    if (row < 1 || row > rowCount_)
        return {};
    const auto index = static_cast<std::size_t>(row - 1);
    std::string text = readOutTimeStep_
                           ? "Time " +
                                 FormatGeneral(static_cast<double>(index) * *readOutTimeStep_,
                                               TimeDigits, decimalSeparator_) +
                                 " s"
                           : "Sample " + std::to_string(row);
    for (const Series& series : series_) {
        text += "   ";
        if (!series.label.empty())
            text += series.label + " ";
        const double value = series.values[index];
        text += readOutDigits_ > 0 && std::isfinite(value)
                    ? FormatGeneral(value, readOutDigits_, decimalSeparator_)
                    : series.texts[index];
    }
    return text;
}

void TMSChart::SetReadOut(std::optional<double> timeStep, int digits) {
    readOutTimeStep_ = timeStep;
    readOutDigits_ = digits;
    UpdatePointText();
}

std::string TMSChart::PointerText() const {
    return pointText_->visible() ? pointText_->text().toStdString() : std::string();
}

void TMSChart::ShowPointAt(const QPoint& position) {
    pointer_ = position;
    if (UpdatePointText())
        plot_->replot(QCustomPlot::rpQueuedReplot);
}

bool TMSChart::UpdatePointText() {
    std::string text;
    if (pointer_ && plot_->axisRect()->rect().contains(*pointer_)) {
        const double key = plot_->xAxis->pixelToCoord(pointer_->x());
        if (std::abs(key) < MaxRowCount + 1)
            text = PointText(static_cast<int>(std::lround(key)));
    }
    const bool shown = !text.empty();
    const QString shownText = QString::fromStdString(text);
    if (shown == pointText_->visible() && (!shown || shownText == pointText_->text()))
        return false;
    pointText_->setText(shownText);
    pointText_->setVisible(shown);
    return true;
}

void TMSChart::HidePoint() {
    pointer_.reset();
    if (UpdatePointText())
        plot_->replot(QCustomPlot::rpQueuedReplot);
}

void TMSChart::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    HidePoint();
}

TMSChart::Series& TMSChart::CurrentSeries() {
    return series_[static_cast<std::size_t>(column_ - 1)];
}

const TMSChart::Series& TMSChart::CurrentSeries() const {
    return series_[static_cast<std::size_t>(column_ - 1)];
}

void TMSChart::RequireCurrentCell(const char* operation) const {
    if (row_ == 0)
        throw std::out_of_range(std::string(operation) + ": the chart has no points");
}

double TMSChart::ReadValue(std::string_view text) const {
    return ParseNumber(text, decimalSeparator_).value_or(NotPlotted);
}

void TMSChart::ScheduleRefresh() {
    plotOutOfDate_ = true;
    if (refreshQueued_)
        return;
    refreshQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { Refresh(); }, Qt::QueuedConnection);
}

bool TMSChart::SyncPlot() {
    if (!plotOutOfDate_)
        return false;
    plotOutOfDate_ = false;
    SyncGraphs();
    PlaceLegend();
    SyncAxes();
    SyncShade();
    return true;
}

void TMSChart::SyncGraphs() {
    while (plot_->graphCount() > ColumnCount())
        plot_->removeGraph(plot_->graphCount() - 1);
    while (plot_->graphCount() < ColumnCount()) {
        QCPGraph* graph = plot_->addGraph();
        graph->setPen(QPen(SeriesColor(plot_->graphCount() - 1)));
        // Draws large series from a few points per pixel column instead of every point.
        graph->setAdaptiveSampling(true);
    }
    for (int c = 0; c < ColumnCount(); ++c) {
        const Series& series = series_[static_cast<std::size_t>(c)];
        QVector<QCPGraphData> points(rowCount_);
        for (int r = 0; r < rowCount_; ++r)
            points[r] = QCPGraphData(r + 1, series.values[static_cast<std::size_t>(r)]);
        QCPGraph* graph = plot_->graph(c);
        graph->setName(QString::fromStdString(series.label));
        graph->data()->set(points, true);
    }
}

void TMSChart::SyncAxes() {
    if (!axesFollowData_)
        return;
    // The key axis spans every point, also those whose text is not a number.
    if (rowCount_ > 1)
        plot_->xAxis->setRange(1, rowCount_);
    else
        plot_->xAxis->setRange(0, 2);
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (const Series& series : series_) {
        for (double value : series.values) {
            if (!std::isnan(value)) {
                low = std::min(low, value);
                high = std::max(high, value);
            }
        }
    }
    plot_->yAxis->setRange(ValueAxisRange(low, high));
}

// A shown legend sits at the right of a row of its own above the plot, where it covers no data;
// a hidden one goes back inside the plot, where it takes no room.
void TMSChart::PlaceLegend() {
    QCPLegend* legend = plot_->legend;
    QCPLayoutGrid* grid = plot_->plotLayout();
    QCPLayoutInset* inset = plot_->axisRect()->insetLayout();
    legend->setVisible(showLegend_);
    title_->setVisible(showLegend_);
    if (showLegend_ && legend->layout() == inset) {
        inset->take(legend);
        auto* row = new QCPLayoutGrid;
        grid->insertRow(0);
        grid->addElement(0, 0, row);
        grid->setRowStretchFactor(0, 0.001);
        // The title's cell takes the width the legend leaves.
        row->addElement(0, 0, title_);
        row->addElement(0, 1, legend);
    } else if (!showLegend_ && legend->layout() != inset) {
        QCPLayout* row = legend->layout();
        row->take(legend);
        row->take(title_);
        grid->remove(row);
        grid->simplify();
        inset->addElement(legend, Qt::AlignTop | Qt::AlignRight);
    }
    legend->setMaximumSize(showLegend_ ? legend->minimumOuterSizeHint()
                                       : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

} // namespace orvanel
