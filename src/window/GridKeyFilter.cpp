#include "window/GridKeyFilter.h"

#include "document/table/DataTable.h"
#include "model/NumberText.h"
#include "window/DataTableModel.h"
#include "window/LocaleText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

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

// In a cell being typed, the arrows move to the next cell as they do outside one: otherwise
// "1.5", Right, "2.5" would run together into one cell.
bool IsArrowKey(const QKeyEvent& key) {
    switch (key.key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
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
    if (event->type() == QEvent::KeyPress && IsArrowKey(*key) && view_ != nullptr) {
        if (auto* editor = qobject_cast<QWidget*>(watched)) {
            CommitAndMove(editor, *key);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(watched, event);
}

void GridKeyFilter::CommitAndMove(QWidget* editor, const QKeyEvent& key) {
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    // The view moves its current cell for the arrow as it would had no editor been open.
    QKeyEvent move(QEvent::KeyPress, key.key(), key.modifiers());
    QApplication::sendEvent(view_, &move);
}

void GridKeyFilter::setModelData(QWidget* editor, QAbstractItemModel* model,
                                 const QModelIndex& index) const {
    if (const auto* line = qobject_cast<QLineEdit*>(editor)) {
        const std::string text = line->text().toStdString();
        if (!text.empty() && !ParseNumber(text, LocaleDecimalSeparator())) {
            QApplication::beep();
            return;
        }
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace orvanel
