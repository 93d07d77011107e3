// What a view of a DataTable is told when the table changes.
#pragma once

namespace orvanel {

// Called by the table after cell texts change, and around every change of its shape or row
// order; a view adapter turns these into its own change signals.
class TableObserver {
public:
    virtual ~TableObserver() = default;

    // The texts of the visible cells in rows firstRow..lastRow and columns
    // firstColumn..lastColumn (inclusive, grid coordinates) may have changed.
    virtual void CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) = 0;

    // The counts, headers or row order are about to change; nothing was changed yet.
    virtual void TableAboutToReset() = 0;

    // The change announced by TableAboutToReset is complete.
    virtual void TableReset() = 0;
};

} // namespace orvanel
