// An edit of cell texts that the undo stack can take back: typing, a cell paste, emptying cells.
#pragma once

#include <QUndoCommand>
#include <string>

namespace orvanel {

class DataTable;

class CellTextsCommand : public QUndoCommand {
public:
    // A block of visible data cells in grid coordinates, corners included.
    struct Range {
        int top = 1;
        int left = 1;
        int bottom = 1;
        int right = 1;
        bool operator==(const Range&) const = default;
    };

    // Writes `cells` (in DataTable::RangeText's layout; empty to empty the cells) into `range`
    // of `table`, which must outlive the command; undone, the cells get back the texts they have
    // now. With `typing`, a later typing into the same single cell merges into this command.
    CellTextsCommand(DataTable& table, Range range, std::string cells, const QString& text,
                     bool typing, QUndoCommand* parent = nullptr);

    // Whether doing the command changes any cell.
    bool ChangesCells() const;

    void redo() override;
    void undo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

private:
    DataTable& table_;
    Range range_;
    // The range's texts before and after, as DataTable::RangeText gives them.
    std::string before_;
    std::string after_;
    bool typing_;
};

} // namespace orvanel
