// What a document window asks of the frame that holds it.
#pragma once

namespace orvanel {

class TMDIMainChild;
class UserDialogs;

class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // The dialogs and message boxes every window of the frame uses.
    virtual UserDialogs& Dialogs() = 0;
    // Runs the frame's Save command for `document`; true only when the table was written.
    virtual bool SaveDocumentWindow(TMDIMainChild& document) = 0;
};

} // namespace orvanel
