#include "window/InsertRowCommand.h"

#include "document/table/DataTable.h"

namespace orvanel {

InsertRowCommand::InsertRowCommand(DataTable& table, int row)
    : QUndoCommand(QStringLiteral("Add Row")), table_(table), row_(row) {}

void InsertRowCommand::redo() {
    const int firstHidden = table_.DataPointCount() + 1;
    hiddenRow_ = table_.RowsText(firstHidden, firstHidden);
    setObsolete(!table_.InsertRow(row_));
}

void InsertRowCommand::undo() {
    table_.RemoveInsertedRow(row_, hiddenRow_);
}

} // namespace orvanel
