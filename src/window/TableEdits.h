// The edits of a document's table, each made through the document's undo stack so that Edit >
// Undo takes it back and Edit > Redo makes it again. The stack's clean state is the saved
// document: undoing back to it leaves the document unmodified.
#pragma once

#include <QObject>
#include <string>
#include <string_view>

class QAction;
class QItemSelection;
class QUndoStack;

namespace orvanel {

class Document;
struct ImportedData;

class TableEdits : public QObject {
    Q_OBJECT

public:
    // Edits `document`, which must outlive this object.
    explicit TableEdits(Document& document, QObject* parent = nullptr);

    QUndoStack& Stack() { return *stack_; }

    // A typed text into a visible data cell; false, and nothing changes, for another cell or a
    // text holding a TAB or a line break.
    bool SetCellText(int row, int column, std::string_view text);
    // The part of a clipboard text before its first TAB or line break into a visible data cell;
    // false, and nothing changes, for another cell.
    bool PasteIntoCell(int row, int column, std::string_view clipboardText);
    // Empties the cells of `selection` (model indices of a DataTableModel) as one step.
    void EmptyCells(const QItemSelection& selection);
    // The count fields' texts, as DataTable::ReshapeColumns and ReshapeRows read them; true when
    // the table changed.
    bool ChangeInputs(std::string_view text);
    bool ChangeDataPoints(std::string_view text);
    // As DataTable::InsertRow and DeleteRows; false, and nothing changes, when they refuse.
    bool InsertRow(int row);
    bool DeleteRows(int first, int last);
    // As Document::PasteTable, but the table becomes the block pasted: a line shorter than the
    // widest gets empty cells, and old columns beyond the widest line are hidden. Throws
    // DocumentError, with nothing changed, where Document::PasteTable does and for a text that
    // is no table (control characters other than TAB, CR and LF).
    void PasteTable(std::string_view clipboardText);
    // False for binary data: a table's text holds no control characters but TAB, CR and LF.
    static bool CouldBeTable(std::string_view clipboardText);
    // A block pasted through the import dialog: Document::LoadImported without a file.
    void PasteImported(const ImportedData& data, char decimalSeparator);

    // Keeps `undo` and `redo` enabled only when there is a step to take back or make again and
    // the edits are not read-only, and names them after it ("&Undo Paste").
    void WatchActions(QAction* undo, QAction* redo);
    // While read-only (a run), Undo and Redo are disabled.
    void SetReadOnly(bool readOnly);
    // The document was saved or loaded: this is its unmodified state.
    void MarkSaved();
    // The document was replaced from a file: earlier steps no longer apply to it.
    void Forget();

private:
    // Writes `text` into a visible data cell as the undo step `step`; false for another cell.
    bool WriteCell(int row, int column, std::string_view text, const QString& step, bool typing);
    void UpdateActions();

    Document& document_;
    QUndoStack* stack_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
    bool readOnly_ = false;
};

} // namespace orvanel
