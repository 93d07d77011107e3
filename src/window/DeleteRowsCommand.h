// "Del": data rows deleted in one block, which the undo stack puts back in one block.
#pragma once

#include <QUndoCommand>
#include <string>

namespace orvanel {

class DataTable;

class DeleteRowsCommand : public QUndoCommand {
public:
    // Deletes data rows first..last of `table`, which must outlive the command. Done when the
    // table refuses the range, the command is obsolete.
    DeleteRowsCommand(DataTable& table, int first, int last);

    void redo() override;
    void undo() override;

private:
    DataTable& table_;
    int first_;
    int last_;
    // The data point count before the deletion and the deleted rows as one text
    // (DataTable::RowsText): a 100,000-row deletion keeps one string, not a string per row.
    int dataPoints_ = 0;
    std::string removed_;
};

} // namespace orvanel
