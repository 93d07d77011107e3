// The borderless window that shows the title picture while the main window is being created.
#pragma once

#include <QWidget>

namespace orvanel {

class TOKBottomDlg : public QWidget {
    Q_OBJECT

public:
    // A splash centred on the screen; the picture keeps its natural size, so its last two pixel
    // rows fall outside the window.
    explicit TOKBottomDlg(QWidget* parent = nullptr);

    // Shows the splash and paints it at once, without waiting for the event loop.
    void ShowNow();
};

} // namespace orvanel
