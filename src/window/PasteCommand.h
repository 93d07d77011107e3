// A table paste, plain or through the import dialog, which the undo stack can take back.
#pragma once

#include "document/project/Document.h"

#include <QUndoCommand>

namespace orvanel {

class PasteCommand : public QUndoCommand {
public:
    // Puts the data of `pasted` (a copy of `document` the paste was made on) into `document`,
    // which must outlive the command; undone, the data it replaced comes back. Either way is one
    // exchange, however large the table.
    PasteCommand(Document& document, Document pasted);

    void redo() override;
    void undo() override;

private:
    Document& document_;
    Document other_;
};

} // namespace orvanel
