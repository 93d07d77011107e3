#include "cli/SampleFile.h"

#include "model/NumberText.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace orvanel {
namespace {

// A fresh document shows one input and the output even when the file has fewer fields.
constexpr std::size_t MinimumColumns = 2;

// The complete lines of text, each without its line end.
std::vector<std::string_view> CompleteLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

std::vector<std::string_view> Cells(std::string_view line) {
    std::vector<std::string_view> cells;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            cells.push_back(line.substr(start));
            return cells;
        }
        cells.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

[[noreturn]] void ThrowBadCell(std::size_t row, std::size_t column) {
    throw DataError("Input data could not be understood. Execution cancelled. Row " +
                    std::to_string(row) + ", column " + std::to_string(column) +
                    " is not a number.");
}

} // namespace

std::span<const double> SampleTable::Row(int sample) const {
    const auto width = static_cast<std::size_t>(Inputs + 1);
    return std::span<const double>(Values).subspan(static_cast<std::size_t>(sample) * width, width);
}

SampleTable SampleFile::Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw DataError("Cannot open the data file " + path);
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    if (file.bad())
        throw DataError("Cannot read the data file " + path);
    return Parse(text);
}

SampleTable SampleFile::Parse(std::string_view text) {
    const std::vector<std::string_view> lines = CompleteLines(text);
    if (lines.empty())
        throw DataError("Error opening the file. Check its format.");
    std::size_t columns = MinimumColumns;
    for (const std::string_view line : lines)
        columns = std::max(
            columns, static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t')) + 1);
    SampleTable table;
    table.Inputs = static_cast<int>(columns - 1);
    table.Samples = static_cast<int>(lines.size());
    table.Values.reserve(columns * lines.size());
    for (std::size_t r = 0; r < lines.size(); ++r) {
        const std::vector<std::string_view> cells = Cells(lines[r]);
        for (std::size_t c = 0; c < columns; ++c) {
            const std::optional<double> value =
                c < cells.size() ? ParseNumber(cells[c]) : std::nullopt;
            if (!value)
                ThrowBadCell(r + 1, c + 1);
            table.Values.push_back(*value);
        }
    }
    return table;
}

} // namespace orvanel
