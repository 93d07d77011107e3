// Shows a document's DataTable in a QTableView: the table's data cells are the model's cells,
// its header row and row-number column are the model's header sections.
#pragma once

#include "document/table/TableObserver.h"

#include <QAbstractTableModel>
#include <QItemSelection>

namespace orvanel {

class DataTable;
class TableEdits;

class DataTableModel : public QAbstractTableModel, private TableObserver {
    Q_OBJECT

public:
    // Observes `table` until destroyed and edits it through `edits`, so that every cell edit can
    // be undone; both must outlive the model.
    DataTableModel(DataTable& table, TableEdits& edits, QObject* parent = nullptr);
    ~DataTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A cell edit; refused for a text holding a TAB or a line break, and while read-only.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Empties the cells of `selection` as one step; nothing while read-only.
    void EmptyCells(const QItemSelection& selection);

    // While read-only, no cell is editable and every edit is refused.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // The table's grid coordinates of a model index.
    static int GridRow(const QModelIndex& index) { return index.row() + 1; }
    static int GridColumn(const QModelIndex& index) { return index.column() + 1; }

private:
    void CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) override;
    void TableAboutToReset() override;
    void TableReset() override;

    DataTable& table_;
    TableEdits& edits_;
    bool readOnly_ = false;
};

} // namespace orvanel
