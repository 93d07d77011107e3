#include "document/formats/DelimitedFormat.h"

#include "document/formats/DelimitedTable.h"
#include "model/NumberText.h"

#include <algorithm>
#include <array>
#include <vector>

namespace orvanel {
namespace {

// Enough lines to tell the layout, few enough to look at any file at once.
constexpr std::size_t SampleLines = 20;

std::vector<std::string_view> FirstLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < SampleLines) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string_view Trimmed(std::string_view cell) {
    const std::size_t first = cell.find_first_not_of(" \t\"");
    if (first == std::string_view::npos)
        return {};
    return cell.substr(first, cell.find_last_not_of(" \t\"") - first + 1);
}

// The cells of a line split by the delimiter outside quotes; quotes are left in place.
std::vector<std::string_view> Cells(std::string_view line, DelimitedFormat::Delimiter delimiter) {
    std::vector<std::string_view> cells;
    const char separator = DelimitedFormat::DelimiterCharacter(delimiter);
    const bool spaces = delimiter == DelimitedFormat::Delimiter::Spaces;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const char c = i < line.size() ? line[i] : '\0';
        if (c == '"')
            quoted = !quoted;
        const bool ends =
            i == line.size() || (!quoted && (spaces ? (c == ' ' || c == '\t') : c == separator));
        if (!ends)
            continue;
        if (!spaces || i > start)
            cells.push_back(line.substr(start, i - start));
        start = i + 1;
    }
    return cells;
}

bool IsValue(std::string_view cell, char decimal) {
    const std::string_view value = Trimmed(cell);
    return ParseNumber(value, decimal) || DelimitedTable::IsoSeconds(value);
}

// The delimiter that splits the first line into two cells or more and the most of the others
// into as many; the earlier of the preference order among equals.
DelimitedFormat::Delimiter LikeliestDelimiter(const std::vector<std::string_view>& lines) {
    using Delimiter = DelimitedFormat::Delimiter;
    Delimiter best = Delimiter::Tab;
    long bestScore = 0;
    for (const Delimiter delimiter :
         {Delimiter::Tab, Delimiter::Semicolon, Delimiter::Comma, Delimiter::Spaces}) {
        const std::size_t count = Cells(lines.front(), delimiter).size();
        if (count < 2)
            continue;
        const long score = std::count_if(lines.begin(), lines.end(), [&](std::string_view line) {
            return Cells(line, delimiter).size() == count;
        });
        if (score > bestScore) {
            best = delimiter;
            bestScore = score;
        }
    }
    return best;
}

// A decimal comma when some data cell reads only with one and none only with a point.
char DetectDecimal(const std::vector<std::string_view>& lines,
                   DelimitedFormat::Delimiter delimiter) {
    if (delimiter == DelimitedFormat::Delimiter::Comma)
        return '.';
    bool comma = false;
    for (const std::string_view line : lines) {
        for (const std::string_view cell : Cells(line, delimiter)) {
            const std::string_view value = Trimmed(cell);
            const bool withPoint = ParseNumber(value, '.').has_value();
            const bool withComma = ParseNumber(value, ',').has_value();
            if (withPoint && !withComma)
                return '.';
            comma = comma || (withComma && !withPoint);
        }
    }
    return comma ? ',' : '.';
}

std::size_t NonValues(std::string_view line, const DelimitedFormat& format) {
    const std::vector<std::string_view> cells = Cells(line, format.Separator);
    return static_cast<std::size_t>(std::count_if(
        cells.begin(), cells.end(), [&](auto cell) { return !IsValue(cell, format.Decimal); }));
}

} // namespace

DelimitedFormat DelimitedFormat::Detect(std::string_view text) {
    DelimitedFormat format;
    const std::vector<std::string_view> lines = FirstLines(text);
    if (lines.empty())
        return format;
    format.Separator = LikeliestDelimiter(lines);
    const std::vector<std::string_view> data(lines.begin() + (lines.size() > 1 ? 1 : 0),
                                             lines.end());
    format.Decimal = DetectDecimal(data, format.Separator);
    const std::size_t headerText = NonValues(lines.front(), format);
    format.Header =
        headerText > 0 && (lines.size() == 1 || NonValues(lines[1], format) < headerText);
    return format;
}

std::optional<DelimitedFormat::Delimiter> DelimitedFormat::DelimiterNamed(std::string_view name) {
    if (name == "tab" || name == "\t")
        return Delimiter::Tab;
    if (name == "comma" || name == ",")
        return Delimiter::Comma;
    if (name == "semicolon" || name == ";")
        return Delimiter::Semicolon;
    if (name == "space" || name == "spaces" || name == " ")
        return Delimiter::Spaces;
    return std::nullopt;
}

char DelimitedFormat::DelimiterCharacter(Delimiter delimiter) {
    switch (delimiter) {
    case Delimiter::Comma:
        return ',';
    case Delimiter::Semicolon:
        return ';';
    case Delimiter::Spaces:
        return ' ';
    case Delimiter::Tab:
        break;
    }
    return '\t';
}

} // namespace orvanel
