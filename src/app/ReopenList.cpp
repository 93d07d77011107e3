#include "app/ReopenList.h"

#include <QAction>
#include <QMenu>

namespace orvanel {

ReopenList::ReopenList(QMenu& menu) {
    for (int k = 1; k <= EntryCount; ++k) {
        auto* entry = menu.addAction(QStringLiteral("&%1 name").arg(k));
        entry->setObjectName(QStringLiteral("FileName%1").arg(k));
        entry->setVisible(false);
        entries_.append(entry);
    }
}

void ReopenList::Push(const QString& path) {
    for (int k = EntryCount; k >= 2; --k) {
        const QAction& previous = *entries_[k - 2];
        QString caption = previous.text();
        caption[1] = QChar(u'0' + k);
        entries_[k - 1]->setText(caption);
        entries_[k - 1]->setVisible(previous.isVisible());
    }
    entries_[0]->setText(QStringLiteral("&1 ") + path);
    entries_[0]->setVisible(true);
}

QString ReopenList::PathOf(const QAction& entry) {
    return entry.text().mid(3);
}

} // namespace orvanel
