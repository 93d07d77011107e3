#include "window/DataTableModel.h"

#include "document/table/DataTable.h"
#include "window/TableEdits.h"

#include <algorithm>

namespace orvanel {

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

DataTableModel::DataTableModel(DataTable& table, TableEdits& edits, QObject* parent)
    : QAbstractTableModel(parent), table_(table), edits_(edits) {
    table_.SetObserver(this);
}

DataTableModel::~DataTableModel() {
    table_.SetObserver(nullptr);
}

int DataTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.RowCount() - 1;
}

int DataTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.ColumnCount() - 1;
}

QVariant DataTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return ToQString(table_.DataCell(GridRow(index), GridColumn(index)));
}

QVariant DataTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return QString::fromStdString(table_.CellText(0, section + 1));
    }
    return QString::fromStdString(table_.CellText(section + 1, 0));
}

Qt::ItemFlags DataTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return readOnly_ ? flags : flags | Qt::ItemIsEditable;
}

bool DataTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (readOnly_ || !index.isValid() || role != Qt::EditRole) {
        return false;
    }
    return edits_.SetCellText(GridRow(index), GridColumn(index), value.toString().toStdString());
}

void DataTableModel::EmptyCells(const QItemSelection& selection) {
    if (!readOnly_) {
        edits_.EmptyCells(selection);
    }
}

void DataTableModel::CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) {
    if (firstColumn == 0 || firstRow == 0) {
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }
    const int top = std::max(firstRow, 1) - 1;
    const int left = std::max(firstColumn, 1) - 1;
    const int bottom = std::min(lastRow - 1, rowCount() - 1);
    const int right = std::min(lastColumn - 1, columnCount() - 1);
    if (top <= bottom && left <= right) {
        emit dataChanged(index(top, left), index(bottom, right), {Qt::DisplayRole, Qt::EditRole});
    }
}

void DataTableModel::TableAboutToReset() {
    beginResetModel();
}

void DataTableModel::TableReset() {
    endResetModel();
}

} // namespace orvanel
