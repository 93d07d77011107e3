#include "window/CountCommand.h"

#include "document/table/DataTable.h"

#include <string>

namespace orvanel {

namespace {

// Apart from CellTextsCommand's typing.
constexpr int InputsId = 2;
constexpr int DataPointsId = 3;

} // namespace

CountCommand::CountCommand(DataTable& table, Count count, int from, int to)
    : QUndoCommand(count == Count::Inputs ? QStringLiteral("Inputs Change")
                                          : QStringLiteral("Data Points Change")),
      table_(table), count_(count), from_(from), to_(to) {}

void CountCommand::Reshape(int value) {
    const std::string text = std::to_string(value);
    if (count_ == Count::Inputs) {
        table_.ReshapeColumns(text);
    } else {
        table_.ReshapeRows(text);
    }
}

void CountCommand::redo() {
    Reshape(to_);
}

void CountCommand::undo() {
    Reshape(from_);
}

int CountCommand::id() const {
    return count_ == Count::Inputs ? InputsId : DataPointsId;
}

bool CountCommand::mergeWith(const QUndoCommand* other) {
    to_ = static_cast<const CountCommand*>(other)->to_;
    setObsolete(to_ == from_);
    return true;
}

} // namespace orvanel
