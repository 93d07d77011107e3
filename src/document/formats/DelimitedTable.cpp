#include "document/formats/DelimitedTable.h"

#include "document/formats/MissingValues.h"
#include "document/table/DocumentError.h"
#include "document/table/TextEncoding.h"
#include "model/NumberText.h"

#include <charconv>
#include <cmath>

namespace orvanel {
namespace {

std::string_view Trimmed(std::string_view cell) {
    const std::size_t first = cell.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return cell.substr(first, cell.find_last_not_of(" \t") - first + 1);
}

[[noreturn]] void Fail(const std::string& message) {
    throw DocumentError(message);
}

// Splits the text into cells, row by row, as views into it (or into `unquoted` for quoted
// fields whose doubled quotes had to be undone).
class Splitter {
public:
    Splitter(std::string_view text, DelimitedFormat::Delimiter delimiter,
             std::deque<std::string>& unquoted)
        : text(text), separator(DelimitedFormat::DelimiterCharacter(delimiter)),
          spaces(delimiter == DelimitedFormat::Delimiter::Spaces), unquoted(unquoted) {}

    // The next line's cells into `cells`, its number into `line`; false at the end. Blank
    // lines are skipped.
    bool NextRow(std::vector<std::string_view>& cells, std::size_t& line) {
        while (position < text.size()) {
            cells.clear();
            line = ++lineNumber;
            ReadLine(cells);
            const bool blank = cells.empty() || (cells.size() == 1 && cells.front().empty());
            if (!blank || quotedCell)
                return true;
        }
        return false;
    }

private:
    void ReadLine(std::vector<std::string_view>& cells) {
        quotedCell = false;
        while (true) {
            SkipSpacesBeforeCell();
            const std::string_view cell = ReadCell();
            if (!spaces || !cell.empty() || quotedCell)
                cells.push_back(cell);
            if (position >= text.size())
                return;
            const char c = text[position];
            if (c == '\r' || c == '\n') {
                position +=
                    c == '\r' && position + 1 < text.size() && text[position + 1] == '\n' ? 2 : 1;
                return;
            }
            ++position; // the separator
        }
    }

    void SkipSpacesBeforeCell() {
        while (spaces && position < text.size() &&
               (text[position] == ' ' || text[position] == '\t'))
            ++position;
    }

    bool EndsCell(char c) const {
        return c == '\r' || c == '\n' || (spaces ? (c == ' ' || c == '\t') : c == separator);
    }

    std::string_view ReadCell() {
        const std::size_t start = position;
        while (position < text.size() && (text[position] == ' ' || text[position] == '\t') &&
               !EndsCell(text[position]))
            ++position;
        if (position < text.size() && text[position] == '"')
            return ReadQuoted();
        position = start;
        while (position < text.size() && !EndsCell(text[position]))
            ++position;
        return Trimmed(text.substr(start, position - start));
    }

    // A quoted cell, its doubled quotes undone; what follows the closing quote up to the
    // delimiter is dropped.
    std::string_view ReadQuoted() {
        quotedCell = true;
        const std::size_t firstLine = lineNumber;
        std::string value;
        ++position;
        while (true) {
            const std::size_t quote = text.find('"', position);
            if (quote == std::string_view::npos)
                Fail("Line " + std::to_string(firstLine) + " has a quote that is not closed");
            CountLines(text.substr(position, quote - position));
            value.append(text.substr(position, quote - position));
            position = quote + 1;
            if (position < text.size() && text[position] == '"') {
                value += '"';
                ++position;
                continue;
            }
            break;
        }
        while (position < text.size() && !EndsCell(text[position]))
            ++position;
        return Keep(std::move(value));
    }

    std::string_view Keep(std::string value) {
        unquoted.push_back(std::move(value));
        return unquoted.back();
    }

    // Line ends inside a quoted field still count for the line numbers of messages.
    void CountLines(std::string_view inside) {
        for (std::size_t i = 0; i < inside.size(); ++i) {
            if (inside[i] == '\n' ||
                (inside[i] == '\r' && (i + 1 == inside.size() || inside[i + 1] != '\n')))
                ++lineNumber;
        }
    }

    std::string_view text;
    char separator;
    bool spaces;
    std::deque<std::string>& unquoted;
    std::size_t position = 0;
    std::size_t lineNumber = 0;
    bool quotedCell = false;
};

std::string CellMessage(std::size_t line, const std::string& name, std::string_view cell) {
    const std::string where = "Line " + std::to_string(line) + ", column \"" + name + "\"";
    return cell.empty() ? where + " is empty"
                        : where + ": " + TextEncoding::Quoted(cell) + " is not a number";
}

// The time zones in use lie between UTC-12:00 and UTC+14:00.
constexpr int LargestOffsetMinutes = 14 * 60;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

int DaysIn(int year, int month) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return Days[month - 1] + (month == 2 && leap ? 1 : 0);
}

// Reads `digits` digits at text[i], advancing i.
std::optional<int> Digits(std::string_view text, std::size_t& i, std::size_t digits) {
    if (i + digits > text.size())
        return std::nullopt;
    int value = 0;
    for (std::size_t k = 0; k < digits; ++k) {
        const char c = text[i + k];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    i += digits;
    return value;
}

bool Expect(std::string_view text, std::size_t& i, char c) {
    if (i >= text.size() || text[i] != c)
        return false;
    ++i;
    return true;
}

} // namespace

DelimitedTable DelimitedTable::Parse(std::string text, const DelimitedFormat& format) {
    DelimitedTable table;
    table.format = format;
    table.text = std::make_unique<std::string>(std::move(text));
    Splitter splitter(*table.text, format.Separator, table.unquoted);
    std::vector<std::string_view> row;
    std::size_t line = 0;
    std::size_t width = 0;
    std::size_t firstLine = 0;
    while (splitter.NextRow(row, line)) {
        if (width == 0) {
            width = row.size();
            firstLine = line;
            for (std::size_t c = 0; c < width; ++c) {
                const bool named = format.Header && !row[c].empty();
                table.names.push_back(named ? std::string(row[c])
                                            : "Column " + std::to_string(c + 1));
            }
            if (format.Header)
                continue;
        }
        if (row.size() != width)
            Fail("Line " + std::to_string(line) + " has " + std::to_string(row.size()) +
                 " cells where line " + std::to_string(firstLine) + " has " +
                 std::to_string(width));
        table.cells.insert(table.cells.end(), row.begin(), row.end());
        table.lines.push_back(line);
    }
    table.rows = table.lines.size();
    if (table.rows == 0)
        Fail("The file holds no data rows");
    return table;
}

std::vector<double> DelimitedTable::Numbers(int column, Missing missing, int* filled) const {
    std::vector<double> values(rows);
    std::vector<std::size_t> gaps;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::optional<double> value = ParseNumber(Cell(r, column), format.Decimal);
        if (value) {
            values[r] = *value;
            continue;
        }
        if (missing == Missing::Refuse)
            Fail(CellMessage(lines[r], names[static_cast<std::size_t>(column)], Cell(r, column)));
        gaps.push_back(r);
    }
    MissingValues::FillLinear(values, gaps, [&](std::size_t r) {
        return CellMessage(lines[r], names[static_cast<std::size_t>(column)], Cell(r, column));
    });
    if (filled != nullptr)
        *filled += static_cast<int>(gaps.size());
    return values;
}

std::optional<double> DelimitedTable::TimeOf(std::string_view cell) const {
    const std::optional<double> number = ParseNumber(cell, format.Decimal);
    return number ? number : IsoSeconds(cell);
}

std::optional<std::vector<double>> DelimitedTable::Times(int column) const {
    std::vector<double> times(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::optional<double> value = TimeOf(Cell(r, column));
        if (!value)
            return std::nullopt;
        times[r] = *value;
    }
    return times;
}

std::string DelimitedTable::FirstNonTime(int column) const {
    for (std::size_t r = 0; r < rows; ++r) {
        if (!TimeOf(Cell(r, column)))
            return Where(r) + ": " + TextEncoding::Quoted(Cell(r, column));
    }
    return {};
}

std::optional<double> DelimitedTable::IsoSeconds(std::string_view text) {
    std::size_t i = 0;
    const auto year = Digits(text, i, 4);
    if (!year || !Expect(text, i, '-'))
        return std::nullopt;
    const auto month = Digits(text, i, 2);
    if (!month || *month < 1 || *month > 12 || !Expect(text, i, '-'))
        return std::nullopt;
    const auto day = Digits(text, i, 2);
    if (!day || *day < 1 || *day > DaysIn(*year, *month))
        return std::nullopt;
    double seconds = static_cast<double>(DaysFromCivil(*year, static_cast<unsigned>(*month),
                                                       static_cast<unsigned>(*day))) *
                     86400.0;
    if (i == text.size())
        return seconds;
    if (text[i] != 'T' && text[i] != ' ')
        return std::nullopt;
    ++i;
    const auto hour = Digits(text, i, 2);
    if (!hour || *hour > 24 || !Expect(text, i, ':'))
        return std::nullopt;
    const auto minute = Digits(text, i, 2);
    if (!minute || *minute > 59)
        return std::nullopt;
    seconds += *hour * 3600.0 + *minute * 60.0;
    if (Expect(text, i, ':')) {
        const auto second = Digits(text, i, 2);
        if (!second || *second > 60)
            return std::nullopt;
        seconds += *second;
        if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
            const std::size_t start = ++i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
            if (i == start)
                return std::nullopt;
            seconds += std::stod("0." + std::string(text.substr(start, i - start)));
        }
    }
    if (i == text.size())
        return seconds;
    if (text[i] == 'Z')
        return i + 1 == text.size() ? std::optional<double>(seconds) : std::nullopt;
    if (text[i] != '+' && text[i] != '-')
        return std::nullopt;
    const double sign = text[i++] == '+' ? 1.0 : -1.0;
    const auto offsetHours = Digits(text, i, 2);
    Expect(text, i, ':');
    const auto offsetMinutes = Digits(text, i, 2);
    if (!offsetHours || !offsetMinutes || i != text.size() || *offsetMinutes >= 60)
        return std::nullopt;
    const int offset = *offsetHours * 60 + *offsetMinutes;
    if (offset > LargestOffsetMinutes)
        return std::nullopt;
    return seconds - sign * offset * 60.0;
}

} // namespace orvanel
