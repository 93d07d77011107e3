// The grid's cell delegate and typing rule: only the characters of a decimal number reach a
// cell. Install it as the view's item delegate and as an event filter on the view itself, so
// the rule holds both for keys that start an edit and for keys typed into an open editor.
#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;
class QKeyEvent;

namespace orvanel {

class DataTable;

class GridKeyFilter : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Filters for `table`, which is marked modified by every accepted character.
    GridKeyFilter(DataTable& table, QObject* parent = nullptr);

    // Watches `view` (the grid) besides the editors the delegate opens. The Delete key on the
    // view empties its selected cells when its model is a DataTableModel; an arrow key in an
    // editor commits the cell and moves the view's current cell.
    void WatchView(QAbstractItemView* view) { view_ = view; }
    // While read-only, every typed character is discarded and the table stays unmodified.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // Commits the editor's text unless it is neither empty nor a number in the locale's
    // decimal notation: such a text is refused with a beep and the cell keeps its value.
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when the key press is discarded.
    bool DiscardKey(const QKeyEvent& key);
    // Commits and closes `editor`, then moves the view's current cell as `key` asks.
    void CommitAndMove(QWidget* editor, const QKeyEvent& key);

    DataTable& table_;
    QAbstractItemView* view_ = nullptr;
    bool readOnly_ = false;
};

} // namespace orvanel
