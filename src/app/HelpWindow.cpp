#include "app/HelpWindow.h"

#include <QFile>

namespace orvanel {

THelpWindow::THelpWindow(QWidget* owner) : QTextBrowser(owner) {
    setWindowFlag(Qt::Window);
    // The program ends with its main window even while the help is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Orvanel Help"));
    setOpenExternalLinks(true);
    resize(640, 560);
}

THelpWindow* THelpWindow::Open(const QString& path, QWidget* owner) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    auto* window = new THelpWindow(owner);
    window->setHtml(QString::fromUtf8(file.readAll()));
    return window;
}

} // namespace orvanel
