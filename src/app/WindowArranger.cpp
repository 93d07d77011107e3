#include "app/WindowArranger.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <algorithm>

namespace orvanel {

namespace {

// The share of the area a cascaded window takes when the area is large enough.
constexpr int CascadeShareNumerator = 2;
constexpr int CascadeShareDenominator = 3;

} // namespace

WindowArranger::WindowArranger(QMdiArea& area) : area_(area) {}

QList<QMdiSubWindow*> WindowArranger::OpenWindows() const {
    QList<QMdiSubWindow*> open;
    // A closed child lingers in the area's list until it is deleted.
    for (QMdiSubWindow* window : area_.subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isHidden()) {
            open.append(window);
        }
    }
    return open;
}

QList<QMdiSubWindow*> WindowArranger::ArrangedWindows() const {
    QList<QMdiSubWindow*> arranged;
    for (QMdiSubWindow* window : OpenWindows()) {
        if (!window->isMinimized()) {
            arranged.append(window);
        }
    }
    return arranged;
}

void WindowArranger::Cascade() {
    // Each window steps a title bar down and right from the one before, as large as the steps
    // leave room for but never below a usable size; the steps start again at the top left
    // where a window would reach past the area.
    const QList<QMdiSubWindow*> windows = ArrangedWindows();
    if (windows.isEmpty()) {
        return;
    }
    // The whole area: the windows will fit in it, so no scroll bar will take room.
    const QRect area(QPoint(0, 0), area_.contentsRect().size());
    const int step =
        area_.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, windows.first());
    const int steps = static_cast<int>(windows.size()) - 1;
    const QSize shared = (area.size() * CascadeShareNumerator / CascadeShareDenominator)
                             .expandedTo(area.size() - QSize(steps * step, steps * step));
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* window = windows[i];
        const QSize size = shared.expandedTo(window->minimumSize());
        const int room = std::min(area.width() - size.width(), area.height() - size.height());
        const int offset = (i % (std::max(room, 0) / step + 1)) * step;
        window->showNormal();
        window->setGeometry(QRect(QPoint(offset, offset), size));
        window->raise();
    }
    area_.setActiveSubWindow(windows.last());
}

void WindowArranger::Tile() {
    // Windows wide rather than tall suit tables and charts: one column of windows stacked one
    // above the other while each keeps its minimum height, more columns when not. No window
    // reaches past the area, where a scroll bar would hide its buttons and the run's plot.
    const QList<QMdiSubWindow*> tiled = ArrangedWindows();
    if (tiled.isEmpty()) {
        return;
    }
    for (int columns = 1; columns <= tiled.size(); ++columns) {
        if (TileInColumns(tiled, columns)) {
            return;
        }
    }
    // The active window stays in front of the cascade.
    QMdiSubWindow* active = area_.currentSubWindow();
    Cascade();
    if (active != nullptr && tiled.contains(active)) {
        active->raise();
        area_.setActiveSubWindow(active);
    }
}

bool WindowArranger::TileInColumns(const QList<QMdiSubWindow*>& windows, int columns) {
    // The whole area: the windows will fit in it, so no scroll bar will take room.
    const QSize area = area_.contentsRect().size();
    const auto count = static_cast<int>(windows.size());
    const int rows = (count + columns - 1) / columns;
    const QSize cell(area.width() / columns, area.height() / rows);
    for (const QMdiSubWindow* window : windows) {
        if (window->minimumWidth() > cell.width() || window->minimumHeight() > cell.height()) {
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        const int row = i / columns;
        const int column = i % columns;
        // The last row's windows share its whole width; every edge meets the area's.
        const int inRow = row == rows - 1 ? count - row * columns : columns;
        const int left = column * area.width() / inRow;
        const int right = (column + 1) * area.width() / inRow;
        const int top = row * area.height() / rows;
        const int bottom = (row + 1) * area.height() / rows;
        windows[i]->showNormal();
        windows[i]->setGeometry(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    }
    return true;
}

void WindowArranger::ArrangeMinimized() {
    const QRect area = area_.viewport()->rect();
    int x = 0;
    int y = area.bottom();
    for (QMdiSubWindow* window : OpenWindows()) {
        if (!window->isMinimized()) {
            continue;
        }
        const QSize size = window->size();
        if (x > 0 && x + size.width() > area.width()) {
            x = 0;
            y -= size.height();
        }
        window->move(x, y - size.height() + 1);
        x += size.width();
    }
}

void WindowArranger::MinimizeAll() {
    const QList<QMdiSubWindow*> windows = OpenWindows();
    for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
        (*it)->showMinimized();
    }
}

} // namespace orvanel
