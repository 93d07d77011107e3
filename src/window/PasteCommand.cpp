#include "window/PasteCommand.h"

#include <utility>

namespace orvanel {

PasteCommand::PasteCommand(Document& document, Document pasted)
    : QUndoCommand(QStringLiteral("Paste")), document_(document), other_(std::move(pasted)) {}

void PasteCommand::redo() {
    document_.ExchangeData(other_);
}

void PasteCommand::undo() {
    document_.ExchangeData(other_);
}

} // namespace orvanel
