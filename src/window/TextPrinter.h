// Prints lines of text, as a line printer would, on the default printer or into a PDF file.
#pragma once

#include <QStringList>

class QPrinter;
class QWidget;

namespace orvanel {

class UserDialogs;

class TextPrinter {
public:
    // Prints `lines` in "Courier New" 12 point (a monospace font where it is missing), laid out
    // by Layout, as many lines on each page as fit; a cell too long for the page goes on over
    // the next printed lines, so that nothing is lost at the page's edge. With no printer
    // installed, asks for a PDF file through `dialogs` and prints there (nothing when
    // cancelled), adding ".pdf" to a name without an extension. Shows an error when the printer
    // cannot start the job.
    static void Print(const QStringList& lines, UserDialogs& dialogs, QWidget* parent);

    // Prints `lines` as above on `printer`; false when the printer cannot start the job.
    static bool PrintOn(const QStringList& lines, QPrinter& printer);

    // The printed lines, for a fixed-width font, of `lines` whose cells are separated by TABs:
    // each cell padded to the widest of its column and two spaces, so that every column lines
    // up under its header. A row longer than `lineLength` characters goes on over further
    // lines at the same column in every row. A line without a TAB is printed as it is.
    static QStringList Layout(const QStringList& lines, int lineLength);
};

} // namespace orvanel
