#include "window/TableEdits.h"

#include "document/formats/DataImport.h"
#include "document/project/Document.h"
#include "document/table/DocumentError.h"
#include "document/table/TableText.h"
#include "window/CellTextsCommand.h"
#include "window/CountCommand.h"
#include "window/DataTableModel.h"
#include "window/DeleteRowsCommand.h"
#include "window/InsertRowCommand.h"
#include "window/PasteCommand.h"

#include <QAction>
#include <QItemSelection>
#include <QUndoStack>
#include <algorithm>
#include <memory>
#include <vector>

namespace orvanel {

namespace {

// Steps kept per document: a paste keeps the whole table it replaced, so a long session of
// large pastes must not keep every one of them.
constexpr int UndoLimit = 100;

QString StepName(const QString& action, const QString& step) {
    return step.isEmpty() ? action : action + QLatin1Char(' ') + step;
}

// The lines of `text` that end with CR LF, CR or LF; an unfinished last line is no row.
std::vector<std::string_view> CompleteLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    return lines;
}

int FieldCount(std::string_view line) {
    return static_cast<int>(std::count(line.begin(), line.end(), '\t')) + 1;
}

// A pasted block as a rectangle: every line has the fields of the widest one (an input and the
// output at least), the cells a short line does not reach being empty.
struct PastedBlock {
    std::string text;
    int fields = 2;
};

PastedBlock SquaredBlock(std::string_view clipboardText) {
    const std::vector<std::string_view> lines = CompleteLines(clipboardText);
    PastedBlock block;
    for (const std::string_view line : lines) {
        block.fields = std::max(block.fields, FieldCount(line));
    }
    for (const std::string_view line : lines) {
        block.text += line;
        block.text.append(static_cast<std::size_t>(block.fields - FieldCount(line)), '\t');
        block.text += "\r\n";
    }
    return block;
}

} // namespace

TableEdits::TableEdits(Document& document, QObject* parent)
    : QObject(parent), document_(document), stack_(new QUndoStack(this)) {
    stack_->setUndoLimit(UndoLimit);
    connect(stack_, &QUndoStack::cleanChanged, this, [this](bool clean) {
        if (clean) {
            document_.Table().ClearModified();
        } else {
            document_.MarkModified();
        }
    });
    for (auto signal : {&QUndoStack::canUndoChanged, &QUndoStack::canRedoChanged}) {
        connect(stack_, signal, this, &TableEdits::UpdateActions);
    }
    for (auto signal : {&QUndoStack::undoTextChanged, &QUndoStack::redoTextChanged}) {
        connect(stack_, signal, this, &TableEdits::UpdateActions);
    }
}

bool TableEdits::SetCellText(int row, int column, std::string_view text) {
    return DataTable::IsStorableText(text) &&
           WriteCell(row, column, text, QStringLiteral("Typing"), true);
}

bool TableEdits::PasteIntoCell(int row, int column, std::string_view clipboardText) {
    return WriteCell(row, column, TableText::CellPasteText(clipboardText), QStringLiteral("Paste"),
                     false);
}

bool TableEdits::WriteCell(int row, int column, std::string_view text, const QString& step,
                           bool typing) {
    DataTable& table = document_.Table();
    if (row < 1 || row >= table.RowCount() || column < 1 || column >= table.ColumnCount()) {
        return false;
    }
    auto command = std::make_unique<CellTextsCommand>(
        table, CellTextsCommand::Range{row, column, row, column}, std::string(text), step, typing);
    if (command->ChangesCells()) {
        stack_->push(command.release());
    }
    return true;
}

void TableEdits::EmptyCells(const QItemSelection& selection) {
    auto clear = std::make_unique<QUndoCommand>(QStringLiteral("Clear"));
    bool changes = false;
    for (const QItemSelectionRange& range : selection) {
        const CellTextsCommand::Range cells{DataTableModel::GridRow(range.topLeft()),
                                            DataTableModel::GridColumn(range.topLeft()),
                                            DataTableModel::GridRow(range.bottomRight()),
                                            DataTableModel::GridColumn(range.bottomRight())};
        // The child belongs to `clear`, which does and undoes it with the others.
        const auto* part =
            new CellTextsCommand(document_.Table(), cells, {}, QString(), false, clear.get());
        changes = changes || part->ChangesCells();
    }
    if (changes) {
        stack_->push(clear.release());
    }
}

bool TableEdits::ChangeInputs(std::string_view text) {
    DataTable& table = document_.Table();
    const int before = table.InputCount();
    if (!table.ReshapeColumns(text)) {
        return false;
    }
    // Only a dropped computed column, which a run puts back, is no step of its own.
    if (table.InputCount() != before) {
        stack_->push(
            new CountCommand(table, CountCommand::Count::Inputs, before, table.InputCount()));
    }
    return true;
}

bool TableEdits::ChangeDataPoints(std::string_view text) {
    DataTable& table = document_.Table();
    const int before = table.DataPointCount();
    if (!table.ReshapeRows(text)) {
        return false;
    }
    stack_->push(
        new CountCommand(table, CountCommand::Count::DataPoints, before, table.DataPointCount()));
    return true;
}

bool TableEdits::InsertRow(int row) {
    const DataTable& table = document_.Table();
    if (row < 1 || row > table.DataPointCount() ||
        table.DataPointCount() >= DataTable::MaxDataPoints) {
        return false;
    }
    stack_->push(new InsertRowCommand(document_.Table(), row));
    return true;
}

bool TableEdits::DeleteRows(int first, int last) {
    if (first < 1 || last < first || last > document_.Table().DataPointCount()) {
        return false;
    }
    stack_->push(new DeleteRowsCommand(document_.Table(), first, last));
    return true;
}

bool TableEdits::CouldBeTable(std::string_view clipboardText) {
    return std::none_of(clipboardText.begin(), clipboardText.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7f;
    });
}

void TableEdits::PasteTable(std::string_view clipboardText) {
    if (!CouldBeTable(clipboardText)) {
        throw DocumentError("The clipboard holds no table");
    }
    const PastedBlock block = SquaredBlock(clipboardText);
    Document pasted = document_;
    pasted.PasteTable(block.text);
    // The table takes the block's width: columns of the old table beyond it are not kept in
    // sight beside the new rows.
    DataTable& table = pasted.Table();
    if (block.fields - 1 < table.InputCount()) {
        table.ReshapeColumns(std::to_string(block.fields - 1));
    }
    stack_->push(new PasteCommand(document_, std::move(pasted)));
}

void TableEdits::PasteImported(const ImportedData& data, char decimalSeparator) {
    Document pasted = document_;
    pasted.LoadImported(data, std::nullopt, std::string(), decimalSeparator);
    stack_->push(new PasteCommand(document_, std::move(pasted)));
}

void TableEdits::WatchActions(QAction* undo, QAction* redo) {
    undo_ = undo;
    redo_ = redo;
    UpdateActions();
}

void TableEdits::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    UpdateActions();
}

void TableEdits::UpdateActions() {
    if (undo_ == nullptr) {
        return;
    }
    undo_->setEnabled(!readOnly_ && stack_->canUndo());
    redo_->setEnabled(!readOnly_ && stack_->canRedo());
    undo_->setText(StepName(QStringLiteral("&Undo"), stack_->undoText()));
    redo_->setText(StepName(QStringLiteral("&Redo"), stack_->redoText()));
}

void TableEdits::MarkSaved() {
    stack_->setClean();
}

void TableEdits::Forget() {
    stack_->clear();
}

} // namespace orvanel
