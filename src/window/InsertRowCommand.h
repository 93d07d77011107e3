// "Add": an empty row inserted at a data row, which the undo stack can take back.
#pragma once

#include <QUndoCommand>
#include <string>

namespace orvanel {

class DataTable;

class InsertRowCommand : public QUndoCommand {
public:
    // Inserts an empty row at data row `row` of `table`, which must outlive the command. Done
    // when the table refuses (at its largest), the command is obsolete.
    InsertRowCommand(DataTable& table, int row);

    void redo() override;
    void undo() override;

private:
    DataTable& table_;
    int row_;
    // The first hidden row, which the inserted row pushes out of the table.
    std::string hiddenRow_;
};

} // namespace orvanel
