// The program's entry: shows the splash while the main window is created, then opens the
// documents named on the command line.

#include "app/MainForm.h"
#include "app/SplashDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QThread>
#include <algorithm>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/orvanel.png")));

    constexpr qint64 SplashMilliseconds = 2000;
    auto splash = std::make_unique<orvanel::TOKBottomDlg>();
    splash->ShowNow();
    QElapsedTimer shown;
    shown.start();

    orvanel::TMainForm mainForm;
    mainForm.SetHelpFile(QApplication::applicationDirPath() + QStringLiteral("/Orvanel.hlp"));
    QThread::msleep(
        static_cast<unsigned long>(std::max<qint64>(0, SplashMilliseconds - shown.elapsed())));
    splash.reset();

    mainForm.ShowMaximizedOnScreen();
    QStringList documents = QApplication::arguments();
    documents.removeFirst();
    mainForm.OpenDocuments(documents);
    return QApplication::exec();
}
