// The cells of a delimited text file, split by its format, with the names of its columns.
#pragma once

#include "document/formats/DelimitedFormat.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

// A delimited text read into cells: quoted fields ("a;b", with "" for a quote), a UTF-8
// byte-order mark, CR LF, LF and CR line ends and blank lines (skipped) are understood; every
// line must have as many cells as the first. Cells are kept as text, spaces around them
// trimmed; columns are read as numbers or times on request.
class DelimitedTable {
public:
    // Splits the text. Throws DocumentError naming the line: "Line 101 has 4 cells where line 1
    // has 3", "Line 7 has a quote that is not closed", or "The file holds no data rows".
    static DelimitedTable Parse(std::string text, const DelimitedFormat& format);

    const DelimitedFormat& Format() const { return format; }
    int Columns() const { return static_cast<int>(names.size()); }
    std::size_t Rows() const { return rows; }
    // Column names from the header; without one "Column 1", "Column 2"...
    const std::vector<std::string>& Names() const { return names; }
    std::string_view Cell(std::size_t row, int column) const {
        return cells[row * names.size() + static_cast<std::size_t>(column)];
    }
    // The line of the file a data row (from 0) was read from, from 1, for messages.
    std::size_t LineOf(std::size_t row) const { return lines[row]; }
    // "line 12", for messages.
    std::string Where(std::size_t row) const { return "line " + std::to_string(lines[row]); }

    // How a cell that is empty or no number is taken.
    enum class Missing { Refuse, Linear };
    // The column's values, numbers with the format's decimal mark. A cell that is not one:
    // DocumentError "Line 12, column \"feed\": \"n/a\" is not a number"; with Missing::Linear
    // it is interpolated between its neighbours instead and counted in *filled (a column
    // without two numbers, or with such a cell first or last, still fails).
    std::vector<double> Numbers(int column, Missing missing = Missing::Refuse,
                                int* filled = nullptr) const;
    // The column as times in seconds: numbers, or ISO 8601 date-times ("2024-03-01T12:00:05",
    // a space in place of the T, fractions of a second, "Z" or an offset such as "+01:00" of at
    // most 14 hours).
    // Nothing when a cell is neither.
    std::optional<std::vector<double>> Times(int column) const;
    // Where the column first holds a cell that is no time, with its text: "line 5: \"noon\"";
    // empty when every cell is one.
    std::string FirstNonTime(int column) const;
    // The seconds since 1970-01-01 UTC of an ISO 8601 date-time; nothing for another text.
    static std::optional<double> IsoSeconds(std::string_view text);

private:
    std::optional<double> TimeOf(std::string_view cell) const;

    DelimitedFormat format;
    // On the heap, so that the cells' views survive a move of the table (a short text would
    // move with its characters).
    std::unique_ptr<std::string> text;
    // Quoted fields with doubled quotes, unescaped; a deque keeps the views into them valid.
    std::deque<std::string> unquoted;
    std::vector<std::string> names;
    std::vector<std::string_view> cells;
    std::vector<std::size_t> lines;
    std::size_t rows = 0;
};

} // namespace orvanel
