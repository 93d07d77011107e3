// What a plot window asks of the frame that holds it.
#pragma once

#include <QList>

class QString;

namespace orvanel {

class TMDIMainChild;
class UserDialogs;

// A plot window keeps no link to its documents: it asks the frame for them whenever a command
// needs them.
class PlotHost {
public:
    virtual ~PlotHost() = default;

    // The dialogs and message boxes every window of the frame uses.
    virtual UserDialogs& Dialogs() = 0;
    // The open document windows, in creation order.
    virtual QList<TMDIMainChild*> Documents() const = 0;
    // The documents of a plot window: every document whose caption followed by " - Plot" is
    // `plotCaption`, from the last child window to the first.
    virtual QList<TMDIMainChild*> DocumentsOfPlot(const QString& plotCaption) const = 0;
};

} // namespace orvanel
