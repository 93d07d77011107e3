#include "app/SplashDlg.h"

#include "app/TitlePicture.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

namespace orvanel {

TOKBottomDlg::TOKBottomDlg(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize(TitlePicture::Width, TitlePicture::Height - 2);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(TitlePicture::Load());
    image->setGeometry(0, 0, TitlePicture::Width, TitlePicture::Height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
}

void TOKBottomDlg::ShowNow() {
    show();
    repaint();
    // Only the window system's own events, so that the splash appears; no user input.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace orvanel
