// Lays out the child windows of an MDI area: cascaded, tiled, minimized, or lined up minimized.
#pragma once

#include <QList>

class QMdiArea;
class QMdiSubWindow;

namespace orvanel {

// Cascade and Tile arrange the windows not minimized and never shrink a window below its
// minimum size.
class WindowArranger {
public:
    // Arranges the windows of `area`, which must outlive it.
    explicit WindowArranger(QMdiArea& area);

    // The area's child windows that are open, in creation order.
    QList<QMdiSubWindow*> OpenWindows() const;
    // Cascades the windows from the top left of the area and activates the last.
    void Cascade();
    // Tiles the windows in the fewest columns that keep each at its minimum size within the
    // area, one above the other when they fit so; cascades them when no tiling fits.
    void Tile();
    // Lines up the minimized windows along the bottom edge, left to right.
    void ArrangeMinimized();
    // Minimizes every open window, the last first.
    void MinimizeAll();

private:
    // The windows that Tile and Cascade arrange: those not minimized.
    QList<QMdiSubWindow*> ArrangedWindows() const;
    // The tiling grid: windows in `columns` columns, filled row by row; false, with nothing
    // moved, when a window's minimum size does not fit its cell.
    bool TileInColumns(const QList<QMdiSubWindow*>& windows, int columns);

    QMdiArea& area_;
};

} // namespace orvanel
