#include "window/DeleteRowsCommand.h"

#include "document/table/DataTable.h"

namespace orvanel {

DeleteRowsCommand::DeleteRowsCommand(DataTable& table, int first, int last)
    : QUndoCommand(first == last ? QStringLiteral("Delete Row") : QStringLiteral("Delete Rows")),
      table_(table), first_(first), last_(last) {}

void DeleteRowsCommand::redo() {
    dataPoints_ = table_.DataPointCount();
    removed_ = table_.RowsText(first_, last_);
    setObsolete(!table_.DeleteRows(first_, last_));
}

void DeleteRowsCommand::undo() {
    table_.RestoreRows(first_, last_, removed_, dataPoints_);
}

} // namespace orvanel
