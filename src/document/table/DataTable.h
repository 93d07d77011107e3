// The cells of a data document: text kept exactly as typed, loaded or pasted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

class TableObserver;

// The grid of one data document, in grid coordinates: row 0 is the header row, column 0 the
// row-number column, rows 1..DataPointCount() the samples, columns 1..InputCount() the inputs,
// then the "Output" column and, after a run, the "Output (calc.)" column.
//
// The table keeps the text of every cell written to it, also beyond the current counts:
// lowering a count hides rows or columns, raising it shows them again with their text. The
// header and row-number texts are not stored; they always follow the counts. No stored text
// holds a TAB, CR or LF, so the table text of a saved document always reads back the same.
//
// There is always at least one data row: a data point count below 1 is taken as 1, and
// deleting the only data row empties it instead of removing it.
class DataTable {
public:
    static constexpr int MaxInputs = 50;
    static constexpr int MaxDataPoints = 100000;
    // The widest line a table text may have: every input and the output.
    static constexpr int MaxDataColumns = MaxInputs + 1;
    // How far the counts follow a typed value before its field brings it back into range;
    // keeps a mistyped 99999999 from claiming memory.
    static constexpr int TypedInputsLimit = 10 * MaxInputs;
    static constexpr int TypedDataPointsLimit = 10 * MaxDataPoints;

    // A new document's table: one input, one empty data point, not modified.
    DataTable();

    // Grid rows: the header row and the data rows.
    int RowCount() const { return dataPoints_ + 1; }
    // Grid columns: the row-number column, the inputs, the output and the computed output if any.
    int ColumnCount() const { return inputs_ + 2 + (computedColumn_ ? 1 : 0); }
    int InputCount() const { return inputs_; }
    int DataPointCount() const { return dataPoints_; }
    bool HasComputedColumn() const { return computedColumn_; }

    // The text of a visible cell, headers ("", "Input 1".., "Output", "Output (calc.)", or the
    // columns' names when they have some) and row numbers included; the empty text outside the
    // grid. This is also the cell's copy text.
    std::string CellText(int row, int column) const;
    // The stored text of a data cell (row >= 1, column >= 1), visible or hidden; empty when never
    // written. Valid until the table changes.
    std::string_view DataCell(int row, int column) const;
    // Row 0 and column 0 cannot be edited.
    static bool IsFixedCell(int row, int column) { return row == 0 || column == 0; }
    // Whether a text can be stored in a cell: it holds no TAB, CR or LF.
    static bool IsStorableText(std::string_view text);

    // A user's edit of a visible cell. Refused (false, nothing changes) for fixed cells, cells
    // outside the grid and texts that are not storable. Marks the table modified when the text
    // changes.
    bool SetCellText(int row, int column, std::string_view text);
    // The stored texts of the cells in rows top..bottom and columns left..right: each row's
    // cells joined by TAB, the rows joined by LF. One string keeps a cleared table compact.
    std::string RangeText(int top, int left, int bottom, int right) const;
    // Writes a text in RangeText's layout into the visible cells of rows top..bottom and columns
    // left..right as one change; the cells a shorter line or a missing line does not reach are
    // emptied, so an empty text empties them all. Refused (false, nothing changes) for a range
    // outside the editable cells, a CR, or more lines or cells than the range has. Marks the
    // table modified when a text changes.
    bool SetRangeText(int top, int left, int bottom, int right, std::string_view text);

    // Follows the inputs field's text: the column count becomes inputs + 2 and a computed column
    // becomes an ordinary one. A text that is not an integer changes nothing; the count is
    // bounded to 1..TypedInputsLimit. True, and modified, when the count changed.
    bool ReshapeColumns(std::string_view inputsText);
    // Follows the data points field's text the same way, bounded to 1..TypedDataPointsLimit.
    bool ReshapeRows(std::string_view dataPointsText);

    // Inserts an empty data row at `row` (1..DataPointCount()); that row and all below move down
    // by one. False, and nothing changes, for another row.
    bool InsertRow(int row);
    // Deletes data row `row` (1..DataPointCount()); the rows below move up. The only data row is
    // emptied instead. False, and nothing changes, for another row.
    bool DeleteRow(int row);
    // Deletes data rows `first`..`last` in one change, leaving the table as DeleteRow(first)
    // repeated for each of them would. False, and nothing changes, for another range.
    bool DeleteRows(int first, int last);
    // The stored rows first..last (visible or hidden), each its cells joined by TAB, joined by
    // LF: what a deletion of them takes away, kept in one string.
    std::string RowsText(int first, int last) const;
    // Takes back DeleteRows(first, last) made when the table had `dataPoints` rows, `rowsText`
    // holding those rows as RowsText gave them before: they return at `first`, the rows below
    // move down, and every stored row, hidden ones included, is as it was. False, and nothing
    // changes, when the table's counts do not fit such a deletion.
    bool RestoreRows(int first, int last, std::string_view rowsText, int dataPoints);
    // Takes back InsertRow(row): the row goes, the rows below move up, and the first hidden row
    // gets back `formerHiddenRow`, its RowsText before the insertion. False, and nothing
    // changes, for a row that is not a data row.
    bool RemoveInsertedRow(int row, std::string_view formerHiddenRow);
    // Rises with every change that adds, removes or moves data rows: texts kept beside the
    // table by row number no longer line up once it has changed.
    long long RowMoves() const { return rowMoves_; }

    // The typing rule of the grid: only "0".."9", ",", "-", ".", "e", "E" and "+" may reach a
    // cell.
    static bool IsAcceptedKey(char32_t character);
    // Applies the typing rule to one typed character; an accepted one marks the table modified.
    bool FilterKey(char32_t character);

    // Adds the empty "Output (calc.)" column after the output for a run's results; clears any
    // hidden text in that position. Does nothing when it is already there.
    void AddComputedColumn();
    // Removes the computed column and its texts. Does nothing when there is none.
    void RemoveComputedColumn();
    // Writes a run's results into the computed column, one text per data row from row 1 (extra
    // texts are ignored, missing ones leave their cells). Refused (false) without a computed
    // column or for a text that is not storable. Does not mark the table modified.
    bool SetComputedOutputs(const std::vector<std::string>& texts);

    // Replaces the data rows by `lines` (at least one; the cells of each line joined by TAB) as a
    // table paste does: each line overwrites the leading cells of its row and the cells it does
    // not reach keep their text. `partialLine` is the start of an unfinished last line up to and
    // including its last TAB (empty when it has none); the cells before that TAB overwrite the
    // hidden row below. The computed column is dropped first; the column count grows to
    // `columns` (grid columns) and never shrinks; the data point count becomes the number of
    // lines. Marks the table modified. Throws DocumentError, changing nothing, when a line holds
    // a CR or LF; otherwise either completes or leaves the table as it was.
    void ReplaceRows(const std::vector<std::string_view>& lines, std::string_view partialLine,
                     int columns);

    // Exchanges everything the table holds with `other` as one change (the observers stay):
    // cells, counts, computed column, names and RowMoves, so that an exchange back restores a
    // table whose rows still line up with texts kept for that state. Marks this table modified.
    void ExchangeContents(DataTable& other);

    // Appends the visible data cells of `row` from column 1 to `lastColumn`, joined by TAB.
    void AppendRowCells(int row, int lastColumn, std::string& out) const;
    // The cells stored in data row `row`, as its line had them: a line with fewer cells than
    // the widest leaves the rest of its row empty.
    int StoredCellCount(int row) const;

    // The names an imported file gave the inputs (from 1) and the output; empty where it gave
    // none, and the header then says "Input k" or "Output". Names do not mark the table modified.
    void SetColumnNames(std::vector<std::string> inputNames, std::string outputName);
    std::string InputName(int input) const;
    const std::string& OutputName() const { return outputName_; }
    // The header of input `input` (from 1): its name, or "Input k".
    std::string InputHeader(int input) const;

    bool Modified() const { return modified_; }
    void MarkModified() { modified_ = true; }
    void ClearModified() { modified_ = false; }

    // The observer told of every change (none when null). Not owned; it must outlive the table or
    // be unset first. A copy of the table, or a table moved from this one, starts without one.
    void SetObserver(TableObserver* observer) { observer_.observer = observer; }

    // The bytes the cell store holds, row handles and their buffers included.
    std::size_t StoreBytes() const;

private:
    // A view watches one table object, never a copy of it.
    struct ObserverSlot {
        ObserverSlot() = default;
        ObserverSlot(const ObserverSlot&) {}
        ObserverSlot& operator=(const ObserverSlot&) { return *this; }
        TableObserver* observer = nullptr;
    };

    void AnnounceReset() const;
    void CompleteReset() const;
    // The stored text of a data row; empty when never written.
    std::string_view StoredRow(int row) const;
    void EnsureStoredRows(int count);
    void ClearColumn(int column);

    // Stored data rows from row 1, each its cells joined by TAB; rows past the end are empty.
    std::vector<std::string> rows_;
    std::vector<std::string> inputNames_;
    std::string outputName_;
    int inputs_ = 1;
    int dataPoints_ = 1;
    bool computedColumn_ = false;
    bool modified_ = false;
    long long rowMoves_ = 0;
    ObserverSlot observer_;
};

} // namespace orvanel
