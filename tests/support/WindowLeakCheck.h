// Fails the current test when it left a top-level window behind.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QTest>

namespace orvanel {

inline void VerifyNoTopLevelWindows() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QWidgetList left = QApplication::topLevelWidgets();
    for (QWidget* widget : left) {
        qWarning("Leaked top-level window: %s \"%s\"", widget->metaObject()->className(),
                 qPrintable(widget->windowTitle()));
    }
    QVERIFY(left.isEmpty());
}

} // namespace orvanel
