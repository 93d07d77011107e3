// The four most recently opened paths under File > Reopen, newest first; kept only while the
// program runs.
#pragma once

#include <QList>
#include <QString>

class QAction;
class QMenu;

namespace orvanel {

class ReopenList {
public:
    static constexpr int EntryCount = 4;

    // Adds the hidden entries FileName1..FileName4, captioned "&1 name".."&4 name", to `menu`.
    explicit ReopenList(QMenu& menu);

    // Moves every entry one place down (the oldest falls off) and puts `path` first. A path
    // already in the list is added again.
    void Push(const QString& path);

    // The path an entry stands for: its caption without the leading "&k ".
    static QString PathOf(const QAction& entry);

    const QList<QAction*>& Entries() const { return entries_; }

private:
    QList<QAction*> entries_;
};

} // namespace orvanel
