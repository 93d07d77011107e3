#include "window/CellTextsCommand.h"

#include "document/table/DataTable.h"

namespace orvanel {

namespace {

constexpr int TypingId = 1;

} // namespace

CellTextsCommand::CellTextsCommand(DataTable& table, Range range, std::string cells,
                                   const QString& text, bool typing, QUndoCommand* parent)
    : QUndoCommand(text, parent), table_(table), range_(range),
      before_(table.RangeText(range.top, range.left, range.bottom, range.right)),
      after_(std::move(cells)), typing_(typing) {
    if (after_.empty()) {
        // Emptied cells in RangeText's layout, so that comparing with before_ tells a change.
        const std::string emptyRow(static_cast<std::size_t>(range.right - range.left), '\t');
        for (int row = range.top; row <= range.bottom; ++row) {
            if (row > range.top) {
                after_ += '\n';
            }
            after_ += emptyRow;
        }
    }
}

bool CellTextsCommand::ChangesCells() const {
    return before_ != after_;
}

void CellTextsCommand::redo() {
    table_.SetRangeText(range_.top, range_.left, range_.bottom, range_.right, after_);
}

void CellTextsCommand::undo() {
    table_.SetRangeText(range_.top, range_.left, range_.bottom, range_.right, before_);
}

int CellTextsCommand::id() const {
    return typing_ ? TypingId : -1;
}

bool CellTextsCommand::mergeWith(const QUndoCommand* other) {
    const auto* typed = static_cast<const CellTextsCommand*>(other);
    if (typed->range_ != range_ || range_.top != range_.bottom || range_.left != range_.right) {
        return false;
    }
    after_ = typed->after_;
    // Typed back to what the cell held: nothing is left to undo.
    setObsolete(!ChangesCells());
    return true;
}

} // namespace orvanel
