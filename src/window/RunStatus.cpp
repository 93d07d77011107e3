#include "window/RunStatus.h"

#include "window/DocumentHost.h"

namespace orvanel {

const QString RunStatus::ReadyText = QStringLiteral("Ready");

RunStatus::RunStatus(TMDIMainChild& document, DocumentHost& host)
    : document_(document), host_(host), statusText_(ReadyText) {}

void RunStatus::ShowStatus(const QString& text, bool untilNextCommand) {
    statusText_ = text;
    statusHeld_ = untilNextCommand;
    if (!host_.ShowsStateOf(document_)) {
        return;
    }
    if (untilNextCommand) {
        host_.SetStatusTextUntilNextCommand(text);
    } else {
        host_.SetStatusText(text);
    }
}

void RunStatus::ShowGauge(int maximum, int position) {
    gaugeMaximum_ = maximum;
    gaugePosition_ = position;
    if (host_.ShowsStateOf(document_)) {
        host_.SetGauge(0, maximum, position);
    }
}

void RunStatus::ShowExecuteImage(int index) {
    if (host_.ShowsStateOf(document_)) {
        host_.SetExecuteImageIndex(index);
    }
}

void RunStatus::ShowState(bool running) {
    if (statusHeld_) {
        host_.SetStatusTextUntilNextCommand(statusText_);
    } else {
        host_.SetStatusText(statusText_);
    }
    host_.SetGauge(0, gaugeMaximum_, gaugePosition_);
    host_.SetExecuteImageIndex(running ? DocumentHost::RunningImage : DocumentHost::IdleImage);
}

} // namespace orvanel
