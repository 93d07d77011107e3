// Prints lines of text, as a line printer would, on the default printer or into a PDF file.
#pragma once

#include <QStringList>

class QPrinter;
class QWidget;

namespace orvanel {

class UserDialogs;

class TextPrinter {
public:
    // Prints `lines` in "Courier New" 12 point (the nearest monospace font where it is missing),
    // TABs expanded, as many lines on each page as fit; a line too long for the page goes on
    // over the next printed lines, so that no cell is lost at the page's edge. With no printer
    // installed, asks for a PDF file through `dialogs` and prints there (nothing when
    // cancelled), adding ".pdf" to a name without an extension. Shows an error when the printer
    // cannot start the job.
    static void Print(const QStringList& lines, UserDialogs& dialogs, QWidget* parent);

    // Prints `lines` as above on `printer`; false when the printer cannot start the job.
    static bool PrintOn(const QStringList& lines, QPrinter& printer);
};

} // namespace orvanel
