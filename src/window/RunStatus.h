// A document's run state as the frame's status line, gauge and Execute button show it.
#pragma once

#include <QString>

namespace orvanel {

class DocumentHost;
class TMDIMainChild;

// A frame of several documents shows only its active one's run state: each document keeps its
// own, shown at once while the frame shows that document and again when the frame turns to it.
class RunStatus {
public:
    // The status text of a document that is not running.
    static const QString ReadyText;

    // The run state of `document`, shown through `host`; both must outlive it. "Ready" at first.
    RunStatus(TMDIMainChild& document, DocumentHost& host);

    // The status text; one shown `untilNextCommand` stays, also under the pointer, until the
    // user's next command.
    void ShowStatus(const QString& text, bool untilNextCommand = false);
    void ShowGauge(int maximum, int position);
    // DocumentHost::IdleImage or DocumentHost::RunningImage.
    void ShowExecuteImage(int index);
    // Shows the status text and gauge as last set, and the Execute button as `running` has it.
    void ShowState(bool running);

private:
    TMDIMainChild& document_;
    DocumentHost& host_;
    QString statusText_;
    bool statusHeld_ = false;
    int gaugeMaximum_ = 100;
    int gaugePosition_ = 0;
};

} // namespace orvanel
