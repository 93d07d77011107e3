#include "document/formats/DelimitedSource.h"

#include "document/formats/DataImport.h"
#include "document/formats/DelimitedTable.h"
#include "document/table/DataTable.h"
#include "document/table/DocumentError.h"
#include "model/NumberText.h"

#include <algorithm>

namespace orvanel {
namespace {

// A cell holding the delimiter, a quote or a line end is quoted, its quotes doubled, so that
// it reads back as one cell.
void AppendCell(std::string& line, std::string_view cell, const DelimitedFormat& format) {
    const bool spaces = format.Separator == DelimitedFormat::Delimiter::Spaces;
    const char separator = DelimitedFormat::DelimiterCharacter(format.Separator);
    const bool quote =
        cell.find_first_of(std::string{'"', '\r', '\n', separator}) != std::string_view::npos ||
        (spaces && cell.find_first_of(" \t") != std::string_view::npos) || (spaces && cell.empty());
    if (!quote) {
        line += cell;
        return;
    }
    line += '"';
    for (const char c : cell) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

// A grid number in the file's decimal mark; a text that is no number is written as it is.
std::string FileNumber(std::string_view cell, char gridDecimal, char fileDecimal) {
    std::string text(cell);
    if (gridDecimal != fileDecimal && ParseNumber(cell, gridDecimal))
        std::replace(text.begin(), text.end(), gridDecimal, fileDecimal);
    return text;
}

} // namespace

DelimitedSource DelimitedSource::Of(const DelimitedTable& table, const ImportedData& data) {
    DelimitedSource source;
    source.Format = table.Format();
    source.Names = table.Names();
    source.InputColumns = data.InputColumns;
    source.OutputColumn = data.OutputColumn;
    source.KeptCells.resize(source.Names.size());
    for (int c = 0; c < table.Columns(); ++c) {
        if (c == data.OutputColumn || std::find(data.InputColumns.begin(), data.InputColumns.end(),
                                                c) != data.InputColumns.end())
            continue;
        std::vector<std::string>& kept = source.KeptCells[static_cast<std::size_t>(c)];
        kept.reserve(table.Rows());
        for (std::size_t r = 0; r < table.Rows(); ++r)
            kept.emplace_back(table.Cell(r, c));
    }
    return source;
}

DelimitedSource DelimitedSource::For(const DataTable& table) {
    DelimitedSource source;
    source.Format.Separator = DelimitedFormat::Delimiter::Comma;
    source.Format.Header = true;
    for (int input = 1; input <= table.InputCount(); ++input) {
        source.Names.push_back(table.InputHeader(input));
        source.InputColumns.push_back(input - 1);
    }
    source.OutputColumn = table.InputCount();
    source.Names.push_back(table.CellText(0, table.InputCount() + 1));
    source.KeptCells.resize(source.Names.size());
    return source;
}

std::string DelimitedSource::Text(const DataTable& table, char gridDecimal) const {
    if (table.InputCount() != static_cast<int>(InputColumns.size()))
        throw DocumentError("The table has " + std::to_string(table.InputCount()) +
                            " inputs where its file had " + std::to_string(InputColumns.size()) +
                            ": save it under another name");
    const char separator = Format.Separator == DelimitedFormat::Delimiter::Spaces
                               ? ' '
                               : DelimitedFormat::DelimiterCharacter(Format.Separator);
    std::string text;
    const auto endLine = [&](std::string& line) {
        text += line;
        text += '\n';
        line.clear();
    };
    std::string line;
    if (Format.Header) {
        for (std::size_t c = 0; c < Names.size(); ++c) {
            if (c > 0)
                line += separator;
            AppendCell(line, Names[c], Format);
        }
        endLine(line);
    }
    for (int row = 1; row <= table.DataPointCount(); ++row) {
        for (std::size_t c = 0; c < Names.size(); ++c) {
            if (c > 0)
                line += separator;
            const int column = static_cast<int>(c);
            const auto input = std::find(InputColumns.begin(), InputColumns.end(), column);
            if (input != InputColumns.end() || column == OutputColumn) {
                const int gridColumn = input != InputColumns.end()
                                           ? static_cast<int>(input - InputColumns.begin()) + 1
                                           : table.InputCount() + 1;
                AppendCell(line,
                           FileNumber(table.DataCell(row, gridColumn), gridDecimal, Format.Decimal),
                           Format);
            } else {
                const std::vector<std::string>& kept = KeptCells[c];
                const auto r = static_cast<std::size_t>(row - 1);
                AppendCell(line, r < kept.size() ? std::string_view(kept[r]) : std::string_view(),
                           Format);
            }
        }
        endLine(line);
    }
    return text;
}

} // namespace orvanel
