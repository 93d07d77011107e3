#include "document/table/DataTable.h"

#include "document/table/DocumentError.h"
#include "document/table/TableObserver.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace orvanel {
namespace {

constexpr std::size_t npos = std::string_view::npos;
// More digits than any count needs; a longer text is not read as an integer.
constexpr std::size_t MaxCountDigits = 9;

std::string NumberText(int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Where field `index` (0-based) of a TAB-joined row starts, or npos when the row has fewer fields.
std::size_t FieldStart(std::string_view row, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        const std::size_t tab = row.find('\t', start);
        if (tab == npos)
            return npos;
        start = tab + 1;
    }
    return start;
}

std::string_view Field(std::string_view row, int index) {
    const std::size_t start = FieldStart(row, index);
    if (start == npos)
        return {};
    const std::size_t end = row.find('\t', start);
    return row.substr(start, end == npos ? npos : end - start);
}

void SetField(std::string& row, int index, std::string_view text) {
    const std::size_t start = FieldStart(row, index);
    if (start == npos) {
        if (text.empty())
            return;
        const auto tabs = static_cast<int>(std::count(row.begin(), row.end(), '\t'));
        row.append(static_cast<std::size_t>(index - tabs), '\t');
        row.append(text);
        return;
    }
    const std::size_t end = row.find('\t', start);
    row.replace(start, end == npos ? npos : end - start, text);
}

// A CR or LF in a cell would split its row when the table is saved.
bool HoldsNoLineBreak(std::string_view cells) {
    return cells.find('\r') == npos && cells.find('\n') == npos;
}

// A line laid over a stored row: the line's cells, then the row's cells the line does not reach.
std::string OverlayLine(std::string_view line, std::string_view row) {
    std::string result(line);
    const auto lineFields = static_cast<int>(std::count(line.begin(), line.end(), '\t')) + 1;
    const std::size_t rest = FieldStart(row, lineFields);
    if (rest != npos) {
        result += '\t';
        result.append(row.substr(rest));
    }
    return result;
}

// Appends fields first..first + count - 1 (from 0) of a row as exactly `count` TAB-joined
// fields; those the row lacks are empty.
void AppendFields(std::string_view row, int first, int count, std::string& out) {
    const std::size_t start = FieldStart(row, first);
    int found = 0;
    if (start != npos) {
        std::size_t end = row.find('\t', start);
        for (found = 1; end != npos && found < count; ++found)
            end = row.find('\t', end + 1);
        out.append(row.substr(start, end == npos ? npos : end - start));
    }
    out.append(static_cast<std::size_t>(count - std::max(found, 1)), '\t');
}

// Replaces fields first..first + count - 1 (from 0) of a row by `fields`, `count` TAB-joined
// fields; a row that ends before them gets empty fields up to them, unless they are all empty.
void ReplaceFields(std::string& row, int first, int count, std::string_view fields) {
    const std::size_t start = FieldStart(row, first);
    if (start == npos) {
        if (fields.find_first_not_of('\t') == npos)
            return;
        const auto tabs = static_cast<int>(std::count(row.begin(), row.end(), '\t'));
        row.append(static_cast<std::size_t>(first - tabs), '\t');
        row.append(fields);
        return;
    }
    std::size_t end = row.find('\t', start);
    for (int found = 1; end != npos && found < count; ++found)
        end = row.find('\t', end + 1);
    row.replace(start, end == npos ? npos : end - start, fields);
}

// Whether a text in DataTable::RangeText's layout fits `lines` rows of `cells` cells.
bool FitsRange(std::string_view text, int lines, int cells) {
    if (text.find('\r') != npos)
        return false;
    int line = 1;
    int tabs = 0;
    for (const char c : text) {
        if (c == '\n') {
            ++line;
            tabs = 0;
        } else if (c == '\t') {
            ++tabs;
        }
        if (line > lines || tabs >= cells)
            return false;
    }
    return true;
}

// An integer as a count field holds it: an optional sign and at most MaxCountDigits digits.
std::optional<int> ReadCount(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > MaxCountDigits)
        return std::nullopt;
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace

DataTable::DataTable() = default;

std::string DataTable::CellText(int row, int column) const {
    if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount())
        return {};
    if (row == 0) {
        if (column == 0)
            return {};
        if (column <= inputs_)
            return InputHeader(column);
        const std::string output = outputName_.empty() ? "Output" : outputName_;
        return column == inputs_ + 1 ? output : output + " (calc.)";
    }
    if (column == 0)
        return NumberText(row);
    return std::string(DataCell(row, column));
}

void DataTable::SetColumnNames(std::vector<std::string> inputNames, std::string outputName) {
    AnnounceReset();
    inputNames_ = std::move(inputNames);
    outputName_ = std::move(outputName);
    CompleteReset();
}

std::string DataTable::InputName(int input) const {
    if (input < 1 || static_cast<std::size_t>(input) > inputNames_.size())
        return {};
    return inputNames_[static_cast<std::size_t>(input) - 1];
}

std::string DataTable::InputHeader(int input) const {
    std::string name = InputName(input);
    return name.empty() ? "Input " + NumberText(input) : name;
}

std::string_view DataTable::DataCell(int row, int column) const {
    if (row < 1 || column < 1 || static_cast<std::size_t>(row) > rows_.size())
        return {};
    return Field(rows_[static_cast<std::size_t>(row) - 1], column - 1);
}

bool DataTable::IsStorableText(std::string_view text) {
    return text.find_first_of("\t\r\n") == npos;
}

bool DataTable::SetCellText(int row, int column, std::string_view text) {
    if (row < 1 || row >= RowCount() || column < 1 || column >= ColumnCount() ||
        !IsStorableText(text))
        return false;
    if (DataCell(row, column) == text)
        return true;
    EnsureStoredRows(row);
    SetField(rows_[static_cast<std::size_t>(row) - 1], column - 1, text);
    modified_ = true;
    if (observer_.observer)
        observer_.observer->CellsChanged(row, row, column, column);
    return true;
}

std::string DataTable::RangeText(int top, int left, int bottom, int right) const {
    std::string text;
    for (int row = top; row <= bottom; ++row) {
        if (row > top)
            text += '\n';
        AppendFields(StoredRow(row), left - 1, right - left + 1, text);
    }
    return text;
}

bool DataTable::SetRangeText(int top, int left, int bottom, int right, std::string_view text) {
    const int count = right - left + 1;
    if (top < 1 || left < 1 || bottom < top || count < 1 || bottom >= RowCount() ||
        right >= ColumnCount() || !FitsRange(text, bottom - top + 1, count))
        return false;
    EnsureStoredRows(bottom);
    std::string fields;
    std::string before;
    std::string_view rest = text;
    for (int row = top; row <= bottom; ++row) {
        const std::size_t end = rest.find('\n');
        fields.assign(rest.substr(0, end));
        rest = end == npos ? std::string_view() : rest.substr(end + 1);
        const auto tabs = static_cast<int>(std::count(fields.begin(), fields.end(), '\t'));
        fields.append(static_cast<std::size_t>(count - 1 - tabs), '\t');
        std::string& stored = rows_[static_cast<std::size_t>(row) - 1];
        before.clear();
        AppendFields(stored, left - 1, count, before);
        if (before != fields) {
            ReplaceFields(stored, left - 1, count, fields);
            modified_ = true;
        }
    }
    if (observer_.observer)
        observer_.observer->CellsChanged(top, bottom, left, right);
    return true;
}

bool DataTable::ReshapeColumns(std::string_view inputsText) {
    const std::optional<int> typed = ReadCount(inputsText);
    if (!typed)
        return false;
    const int inputs = std::clamp(*typed, 1, TypedInputsLimit);
    if (inputs == inputs_ && !computedColumn_)
        return false;
    AnnounceReset();
    inputs_ = inputs;
    computedColumn_ = false;
    modified_ = true;
    CompleteReset();
    return true;
}

bool DataTable::ReshapeRows(std::string_view dataPointsText) {
    const std::optional<int> typed = ReadCount(dataPointsText);
    if (!typed)
        return false;
    const int dataPoints = std::clamp(*typed, 1, TypedDataPointsLimit);
    if (dataPoints == dataPoints_)
        return false;
    AnnounceReset();
    dataPoints_ = dataPoints;
    ++rowMoves_;
    modified_ = true;
    CompleteReset();
    return true;
}

bool DataTable::InsertRow(int row) {
    // The count field cannot show more rows, so the table does not grow past it either.
    if (row < 1 || row > dataPoints_ || dataPoints_ >= MaxDataPoints)
        return false;
    AnnounceReset();
    const auto first = static_cast<std::size_t>(row) - 1;
    const auto newLast = static_cast<std::size_t>(dataPoints_);
    if (first < rows_.size()) {
        // The rows move down over the first hidden row; the hidden rows below it stay put.
        if (rows_.size() > newLast)
            rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(newLast));
        rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(first), std::string());
    }
    ++dataPoints_;
    ++rowMoves_;
    modified_ = true;
    CompleteReset();
    return true;
}

bool DataTable::DeleteRow(int row) {
    if (row < 1 || row > dataPoints_)
        return false;
    AnnounceReset();
    const auto first = static_cast<std::size_t>(row) - 1;
    const auto last = static_cast<std::size_t>(dataPoints_) - 1;
    if (dataPoints_ == 1) {
        // A table without data rows has nothing to edit or run; the only row is emptied instead.
        if (!rows_.empty())
            rows_.front() = std::string();
    } else if (first < rows_.size()) {
        // The rows below move up; the last row, now hidden, keeps its text as any hidden row does.
        const bool lastStored = last < rows_.size();
        std::string lastRow = lastStored ? rows_[last] : std::string();
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(first));
        if (lastStored)
            rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(last), std::move(lastRow));
    }
    dataPoints_ = std::max(1, dataPoints_ - 1);
    ++rowMoves_;
    modified_ = true;
    CompleteReset();
    return true;
}

bool DataTable::DeleteRows(int first, int last) {
    if (first < 1 || last < first || last > dataPoints_)
        return false;
    AnnounceReset();
    EnsureStoredRows(dataPoints_);
    const int count = last - first + 1;
    const auto visibleEnd = rows_.begin() + dataPoints_;
    const std::string lastRow = *(visibleEnd - 1);
    // The rows below move up; each place they leave, now hidden, keeps the former last row's
    // text, as a single deletion leaves it.
    std::rotate(rows_.begin() + (first - 1), rows_.begin() + last, visibleEnd);
    std::fill(visibleEnd - count, visibleEnd, lastRow);
    if (count == dataPoints_)
        rows_.front().clear();
    dataPoints_ = std::max(1, dataPoints_ - count);
    ++rowMoves_;
    modified_ = true;
    CompleteReset();
    return true;
}

std::string DataTable::RowsText(int first, int last) const {
    first = std::max(first, 1);
    const auto begin = static_cast<std::size_t>(first) - 1;
    const std::size_t end = std::min(rows_.size(), static_cast<std::size_t>(std::max(last, 0)));
    // One allocation for the whole block: a deletion of 100,000 rows would otherwise spend
    // more time growing the text than deleting.
    std::size_t size = static_cast<std::size_t>(std::max(last - first, 0));
    for (std::size_t row = begin; row < end; ++row)
        size += rows_[row].size();
    std::string text;
    text.reserve(size);
    for (int row = first; row <= last; ++row) {
        if (row > first)
            text += '\n';
        if (static_cast<std::size_t>(row) <= rows_.size())
            text += rows_[static_cast<std::size_t>(row) - 1];
    }
    return text;
}

bool DataTable::RestoreRows(int first, int last, std::string_view rowsText, int dataPoints) {
    const int count = last - first + 1;
    if (first < 1 || count < 1 || last > dataPoints || dataPoints > MaxDataPoints ||
        dataPoints_ != std::max(1, dataPoints - count))
        return false;
    AnnounceReset();
    EnsureStoredRows(dataPoints);
    // The places the deletion left at the end of the visible rows come back to where the rows
    // were taken from, and get their texts again; the rows between move down.
    const auto begin = rows_.begin();
    std::rotate(begin + (first - 1), begin + (dataPoints - count), begin + dataPoints);
    // One pass over the kept text: a second one to count its rows first would cost as much as
    // the deletion did.
    std::string_view rest = rowsText;
    for (auto row = begin + (first - 1); row != begin + last; ++row) {
        const std::size_t end = rest.find('\n');
        row->assign(rest.substr(0, end));
        rest = end == npos ? std::string_view() : rest.substr(end + 1);
    }
    dataPoints_ = dataPoints;
    ++rowMoves_;
    modified_ = true;
    CompleteReset();
    return true;
}

bool DataTable::RemoveInsertedRow(int row, std::string_view formerHiddenRow) {
    if (row < 1 || row > dataPoints_ || dataPoints_ < 2 || !HoldsNoLineBreak(formerHiddenRow))
        return false;
    AnnounceReset();
    EnsureStoredRows(dataPoints_);
    const auto begin = rows_.begin();
    std::rotate(begin + (row - 1), begin + row, begin + dataPoints_);
    --dataPoints_;
    rows_[static_cast<std::size_t>(dataPoints_)].assign(formerHiddenRow);
    ++rowMoves_;
    modified_ = true;
    CompleteReset();
    return true;
}

bool DataTable::IsAcceptedKey(char32_t character) {
    // The exponent's letter and sign too: data files hold values such as 1.5890000e+01.
    return (character >= U'0' && character <= U'9') || character == U',' || character == U'-' ||
           character == U'.' || character == U'e' || character == U'E' || character == U'+';
}

bool DataTable::FilterKey(char32_t character) {
    if (!IsAcceptedKey(character))
        return false;
    modified_ = true;
    return true;
}

void DataTable::AddComputedColumn() {
    if (computedColumn_)
        return;
    AnnounceReset();
    ClearColumn(inputs_ + 2);
    computedColumn_ = true;
    CompleteReset();
}

void DataTable::RemoveComputedColumn() {
    if (!computedColumn_)
        return;
    AnnounceReset();
    ClearColumn(inputs_ + 2);
    computedColumn_ = false;
    CompleteReset();
}

bool DataTable::SetComputedOutputs(const std::vector<std::string>& texts) {
    if (!computedColumn_ || !std::all_of(texts.begin(), texts.end(), IsStorableText))
        return false;
    const int count = std::min(static_cast<int>(texts.size()), dataPoints_);
    if (count == 0)
        return true;
    EnsureStoredRows(count);
    const int column = inputs_ + 2;
    for (int i = 0; i < count; ++i)
        SetField(rows_[static_cast<std::size_t>(i)], column - 1,
                 texts[static_cast<std::size_t>(i)]);
    if (observer_.observer)
        observer_.observer->CellsChanged(1, count, column, column);
    return true;
}

void DataTable::ReplaceRows(const std::vector<std::string_view>& lines,
                            std::string_view partialLine, int columns) {
    ++rowMoves_;
    if (!std::all_of(lines.begin(), lines.end(), HoldsNoLineBreak) ||
        !HoldsNoLineBreak(partialLine))
        throw DocumentError("A cell holds a line break");
    const int computedField = computedColumn_ ? inputs_ + 1 : -1;
    auto storedRow = [&](std::size_t index) {
        std::string row = index < rows_.size() ? rows_[index] : std::string();
        if (computedField >= 0)
            SetField(row, computedField, {});
        return row;
    };
    const std::size_t partialIndex = partialLine.empty() ? 0 : lines.size() + 1;
    std::vector<std::string> replaced(std::max({rows_.size(), lines.size(), partialIndex}));
    for (std::size_t i = 0; i < replaced.size(); ++i) {
        if (i < lines.size())
            replaced[i] =
                i < rows_.size() ? OverlayLine(lines[i], storedRow(i)) : std::string(lines[i]);
        else if (i + 1 == partialIndex)
            replaced[i] = OverlayLine(partialLine.substr(0, partialLine.size() - 1), storedRow(i));
        else
            replaced[i] = storedRow(i);
    }
    AnnounceReset();
    rows_.swap(replaced);
    inputs_ = std::max(inputs_ + 2, columns) - 2;
    dataPoints_ = std::max(1, static_cast<int>(lines.size()));
    computedColumn_ = false;
    modified_ = true;
    CompleteReset();
}

void DataTable::ExchangeContents(DataTable& other) {
    AnnounceReset();
    rows_.swap(other.rows_);
    inputNames_.swap(other.inputNames_);
    outputName_.swap(other.outputName_);
    std::swap(inputs_, other.inputs_);
    std::swap(dataPoints_, other.dataPoints_);
    std::swap(computedColumn_, other.computedColumn_);
    std::swap(rowMoves_, other.rowMoves_);
    modified_ = true;
    CompleteReset();
}

void DataTable::AppendRowCells(int row, int lastColumn, std::string& out) const {
    const std::string_view stored = StoredRow(row);
    const std::size_t end = FieldStart(stored, lastColumn);
    if (end != npos) {
        out.append(stored.substr(0, end - 1));
        return;
    }
    out.append(stored);
    const auto fields = static_cast<int>(std::count(stored.begin(), stored.end(), '\t')) + 1;
    out.append(static_cast<std::size_t>(lastColumn - fields), '\t');
}

int DataTable::StoredCellCount(int row) const {
    if (row < 1 || static_cast<std::size_t>(row) > rows_.size())
        return 0;
    const std::string& stored = rows_[static_cast<std::size_t>(row) - 1];
    return static_cast<int>(std::count(stored.begin(), stored.end(), '\t')) + 1;
}

std::size_t DataTable::StoreBytes() const {
    std::size_t bytes = rows_.capacity() * sizeof(std::string);
    const std::size_t inlineCapacity = std::string().capacity();
    for (const std::string& row : rows_) {
        if (row.capacity() > inlineCapacity)
            bytes += row.capacity() + 1;
    }
    return bytes;
}

void DataTable::AnnounceReset() const {
    if (observer_.observer)
        observer_.observer->TableAboutToReset();
}

void DataTable::CompleteReset() const {
    if (observer_.observer)
        observer_.observer->TableReset();
}

std::string_view DataTable::StoredRow(int row) const {
    return row >= 1 && static_cast<std::size_t>(row) <= rows_.size()
               ? std::string_view(rows_[static_cast<std::size_t>(row) - 1])
               : std::string_view();
}

void DataTable::EnsureStoredRows(int count) {
    if (rows_.size() < static_cast<std::size_t>(count))
        rows_.resize(static_cast<std::size_t>(count));
}

void DataTable::ClearColumn(int column) {
    for (std::string& row : rows_)
        SetField(row, column - 1, {});
}

} // namespace orvanel
