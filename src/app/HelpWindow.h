// The window that shows the program's help file, beside the main window and without blocking it.
#pragma once

#include <QTextBrowser>

namespace orvanel {

class THelpWindow : public QTextBrowser {
    Q_OBJECT

public:
    // A help window owned by `owner` showing the HTML help file `path`; null when the file
    // cannot be read.
    static THelpWindow* Open(const QString& path, QWidget* owner);

private:
    explicit THelpWindow(QWidget* owner);
};

} // namespace orvanel
