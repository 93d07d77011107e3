// What a document window asks of the frame that holds it.
#pragma once

class QString;

namespace orvanel {

class RunPlot;
class TMDIMainChild;
class UserDialogs;

// The frame's run-state display and window commands are what a run shows its progress with.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // The dialogs and message boxes every window of the frame uses.
    virtual UserDialogs& Dialogs() = 0;
    // Runs the frame's Save command for `document`; true only when the table was written.
    virtual bool SaveDocumentWindow(TMDIMainChild& document) = 0;
    // Runs the frame's Save Project command; true only when the project was written.
    virtual bool SaveProject() { return false; }

    // The status text ("Ready" when idle).
    virtual void SetStatusText(const QString& text) = 0;
    // A status text that stays, also under the pointer, until the user's next command.
    virtual void SetStatusTextUntilNextCommand(const QString& text) { SetStatusText(text); }
    // The progress gauge's range and position.
    virtual void SetGauge(int minimum, int maximum, int position) = 0;
    // The image index of the Execute button while idle and while a run is in progress.
    static constexpr int IdleImage = 9;
    static constexpr int RunningImage = 11;
    // The Execute button's picture: IdleImage or RunningImage.
    virtual void SetExecuteImageIndex(int index) = 0;
    // Tiles the child windows one above the other.
    virtual void TileMenuClick() = 0;
    // Whether the status text, the gauge and the Execute button show `document`'s run state:
    // a frame of several documents shows only its active one's.
    virtual bool ShowsStateOf(const TMDIMainChild& document) const {
        static_cast<void>(document);
        return true;
    }

    // The plot window captioned `caption`, the last one in the frame's order when several are;
    // null when there is none.
    virtual RunPlot* FindPlotWindow(const QString& caption) = 0;
    // A new plot window among the frame's children, shown, listing "Input 1"; null
    // when the frame has no plot windows.
    virtual RunPlot* CreatePlotWindow() = 0;
};

} // namespace orvanel
