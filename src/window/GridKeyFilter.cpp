#include "window/GridKeyFilter.h"

#include "document/DataTable.h"
#include "window/DataTableModel.h"

#include <QAbstractItemView>
#include <QKeyEvent>

namespace orvanel {

namespace {

// Keys that move, open, commit or cancel an edit rather than typing into a cell.
bool IsEditingKey(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return true;
    default:
        return false;
    }
}

// The document's Copy and Paste commands act on the whole table even while a cell is edited,
// so the editor must not take their shortcuts for itself.
bool IsTableShortcut(const QKeyEvent& key) {
    return key.matches(QKeySequence::Copy) || key.matches(QKeySequence::Paste);
}

} // namespace

GridKeyFilter::GridKeyFilter(DataTable& table, QObject* parent)
    : QStyledItemDelegate(parent), table_(table) {}

bool GridKeyFilter::DiscardKey(const QKeyEvent& key) {
    if (IsEditingKey(key.key()) ||
        (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        return false;
    }
    const QList<uint> characters = key.text().toUcs4();
    if (characters.isEmpty()) {
        return false;
    }
    return readOnly_ || !table_.FilterKey(characters.constFirst());
}

bool GridKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyPress && DiscardKey(*key)) {
        return true;
    }
    if (watched == view_) {
        if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_Delete &&
            key->modifiers() == Qt::NoModifier) {
            if (auto* model = qobject_cast<DataTableModel*>(view_->model())) {
                model->EmptyCells(view_->selectionModel()->selection());
                return true;
            }
        }
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride && IsTableShortcut(*key)) {
        return true;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

} // namespace orvanel
