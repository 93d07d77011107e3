// A frame for a lone document window: its dialogs are FakeUserDialogs, saving succeeds, runs
// get no plot window and the run-state display goes nowhere.
#pragma once

#include "support/FakeUserDialogs.h"
#include "window/DocumentHost.h"

namespace orvanel {

class FakeDocumentHost : public DocumentHost {
public:
    FakeUserDialogs dialogs;

    UserDialogs& Dialogs() override { return dialogs; }
    bool SaveDocumentWindow(TMDIMainChild&) override { return true; }
    void SetStatusText(const QString&) override {}
    void SetGauge(int, int, int) override {}
    void SetExecuteImageIndex(int) override {}
    void TileMenuClick() override {}
    RunPlot* FindPlotWindow(const QString&) override { return nullptr; }
    RunPlot* CreatePlotWindow() override { return nullptr; }
};

} // namespace orvanel
