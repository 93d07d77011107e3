#include "window/CellTextsCommand.h"

#include "document/DataTable.h"

namespace orvanel {

namespace {

constexpr int TypingId = 1;

} // namespace

CellTextsCommand::CellTextsCommand(DataTable& table, Range range, std::vector<std::string> texts,
                                   const QString& text, bool typing, QUndoCommand* parent)
    : QUndoCommand(text, parent), table_(table), range_(range),
      before_(table.RangeTexts(range.top, range.left, range.bottom, range.right)),
      after_(std::move(texts)), typing_(typing) {
    if (after_.empty()) {
        after_.resize(before_.size());
    }
}

bool CellTextsCommand::ChangesCells() const {
    return before_ != after_;
}

void CellTextsCommand::redo() {
    table_.SetRangeTexts(range_.top, range_.left, range_.bottom, range_.right, after_);
}

void CellTextsCommand::undo() {
    table_.SetRangeTexts(range_.top, range_.left, range_.bottom, range_.right, before_);
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
