// A line chart filled like a data grid: points are rows, series are columns, cells are texts.
#pragma once

#include <QPoint>
#include <QWidget>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QCPItemRect;
class QCPItemStraightLine;
class QCPItemText;
class QCPTextElement;
class QCustomPlot;

namespace orvanel {

// The chart of the plot window. Callers fill it cell by cell: select a point with SetRow and a
// series with SetColumn (both counted from 1), then SetData. Every cell keeps its text exactly as
// given, for printing; the value plotted is that text read as a decimal number with the chart's
// decimal separator, and a text that is not a number is kept but leaves a gap in its line. The
// x value of point r is r; the x axis spans every point and the y axis the values, with a margin.
//
// Filling is cheap: cells are stored in plain arrays and the plot is brought up to date once, on
// the next turn of the event loop after the last change (or at once by Refresh), never per cell.
//
// The user zooms with the wheel and pans by dragging; the axes then stay where the user left them
// through later changes of the cells, until a double click shows every point again. Under the
// pointer, the chart shows the point's number and the text of each series there, on a box
// above the curves, brought up to date by every refresh.
//
// Selecting a point or series outside the grid, and counts out of range, throw std::out_of_range
// and change nothing. Row() is 0 exactly when there are no points; Data and SetData then throw.
class TMSChart : public QWidget {
    Q_OBJECT

public:
    static constexpr int MaxRowCount = 1'000'000;
    static constexpr int MaxColumnCount = 256;

    // An empty chart: no points, one series with an empty label, legend shown, separator '.'.
    explicit TMSChart(QWidget* parent = nullptr);

    // Number of points, 0..MaxRowCount. Shrinking drops the cells of the points beyond the new
    // count and moves the current point back to the last one; growing adds empty cells and,
    // from zero points, makes point 1 current.
    void SetRowCount(int rows);
    int RowCount() const { return rowCount_; }

    // Number of series, 1..MaxColumnCount. Shrinking drops the last series with their cells and
    // labels and moves the current series back to the last one; growing adds series without
    // cells or label.
    void SetColumnCount(int columns);
    int ColumnCount() const { return static_cast<int>(series_.size()); }

    // The current point, 1..RowCount().
    void SetRow(int row);
    int Row() const { return row_; }

    // The current series, 1..ColumnCount().
    void SetColumn(int column);
    int Column() const { return column_; }

    // Stores the text of the current cell; it is plotted when it reads as a number.
    void SetData(std::string_view text);
    // The text of the current cell as it was given; empty if never set. Valid until the cell or
    // the counts change.
    const std::string& Data() const;

    // The label of the current series, shown in the legend.
    void SetColumnLabel(std::string_view label);
    const std::string& ColumnLabel() const;

    // The titles of the x and the y axis.
    void SetAxisTitles(std::string_view x, std::string_view y);

    // A line of text at the left of the legend's row; shown only with the legend.
    void SetTitle(std::string_view title);
    std::string Title() const;

    // Shades the points from `row` to the last, with a line where they begin (a part of the
    // data set apart); 0, or a row beyond the points, for none.
    void SetShadedFrom(int row);
    int ShadedFrom() const { return shadedFrom_; }

    // Shows or hides the legend, which lists the series in a row above the plot.
    void SetShowLegend(bool show);
    bool ShowLegend() const { return showLegend_; }

    // The decimal separator cell texts are read with; the stored texts are read again with the
    // new one. Throws std::invalid_argument, changing nothing, for a digit, a sign, 'e' or 'E'.
    void SetDecimalSeparator(char separator);
    char DecimalSeparator() const { return decimalSeparator_; }

    // Puts the picture of the chart, at the widget's size, on the clipboard as an image.
    void CopyToClipboard();

    // Hands pending changes to the plot and redraws it now rather than on the next event loop turn.
    // A chart without area draws nothing.
    void Refresh();

    // "Sample", the number of point `row` and, for each series, its label and the text of its
    // cell at that point; empty for a row outside 1..RowCount(). With a time step, "Time" and
    // the point's time, (row - 1) steps, in seconds instead; with digits above 0, each value
    // that is a number to that many significant digits instead of its text.
    std::string PointText(int row) const;
    void SetReadOut(std::optional<double> timeStep, int digits);
    // The text shown for the point under the pointer; empty when the pointer is not over one.
    std::string PointerText() const;

    // The plot widget, for inspection and styling; it shows the cells as of the last refresh.
    QCustomPlot* Plot() const { return plot_; }

protected:
    void leaveEvent(QEvent* event) override;

private:
    // One column of the grid: the cell texts as given and the values they read as (NaN if none).
    struct Series {
        std::string label;
        std::vector<std::string> texts;
        std::vector<double> values;
    };

    Series& CurrentSeries();
    const Series& CurrentSeries() const;
    void RequireCurrentCell(const char* operation) const;
    double ReadValue(std::string_view text) const;

    // Marks the plot out of date and queues one refresh unless one is queued already.
    void ScheduleRefresh();
    // Brings the plot's graphs, legend and axes in line with the cells; false if nothing changed.
    bool SyncPlot();
    void SyncGraphs();
    void SyncAxes();
    void PlaceLegend();
    void SyncShade();
    void SetUpInteractions();
    void SetUpShade();
    void ShowPointAt(const QPoint& position);
    void HidePoint();
    // Shows the read-out of the point under the pointer, or hides it; true when that changed it.
    bool UpdatePointText();

    QCustomPlot* plot_;
    QCPItemText* pointText_;
    // Where the pointer is over the plot, kept to read its point again after a refresh.
    std::optional<QPoint> pointer_;
    QCPTextElement* title_;
    QCPItemRect* shade_;
    QCPItemStraightLine* shadeEdge_;
    std::vector<Series> series_;
    int rowCount_ = 0;
    int row_ = 0;
    int column_ = 1;
    int shadedFrom_ = 0;
    bool showLegend_ = true;
    char decimalSeparator_ = '.';
    std::optional<double> readOutTimeStep_;
    int readOutDigits_ = 0;
    bool plotOutOfDate_ = false;
    bool refreshQueued_ = false;
    // Whether the axes span the data; false once the user has zoomed or panned.
    bool axesFollowData_ = true;
};

} // namespace orvanel
