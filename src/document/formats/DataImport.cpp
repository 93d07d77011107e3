#include "document/formats/DataImport.h"

#include "document/formats/DelimitedTable.h"
#include "document/formats/MatTable.h"
#include "document/table/DataTable.h"
#include "document/table/DocumentError.h"
#include "document/table/DocumentFile.h"
#include "model/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace orvanel {
namespace {

// Two steps of a time column differ by less than this share of the sample time, plus what
// rounding the times themselves can take off or add to a step.
constexpr double EvenTimeTolerance = 1e-6;
constexpr double RoundingUlps = 4.0;

[[noreturn]] void Fail(const std::string& message) {
    throw DocumentError(message);
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool HasDelimitedExtension(const std::string& path) {
    const std::string lower = Lower(path);
    return lower.ends_with(".csv") || lower.ends_with(".tsv");
}

template <typename Table> std::string ColumnList(const Table& table) {
    std::string list;
    for (const std::string& name : table.Names())
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

// The columns (from 0) whose names pass `test`.
template <typename Test>
std::vector<int> ColumnsNamed(const std::vector<std::string>& names, const Test& test) {
    std::vector<int> columns;
    for (std::size_t c = 0; c < names.size(); ++c) {
        if (test(names[c]))
            columns.push_back(static_cast<int>(c));
    }
    return columns;
}

// "columns 2 and 4", "columns 1, 3 and 4": numbered from 1 as the user counts them.
std::string NumberedColumns(const std::vector<int>& columns) {
    std::string list = "columns";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        list += i == 0 ? " " : i + 1 == columns.size() ? " and " : ", ";
        list += std::to_string(columns[i] + 1);
    }
    return list;
}

// A column named, or numbered from 1, by the user. A name that several columns bear picks none
// (taking the first could make the real output an input) unless it is a column's number too.
template <typename Table>
int ColumnOf(const Table& table, const std::string& reference, const std::string& role) {
    const std::vector<int> named =
        ColumnsNamed(table.Names(), [&](const std::string& name) { return name == reference; });
    if (named.size() == 1)
        return named.front();
    const std::optional<double> number = ParseNumber(reference);
    if (number && *number >= 1 && *number <= table.Columns() && std::floor(*number) == *number)
        return static_cast<int>(*number) - 1;
    if (named.size() > 1)
        Fail("The " + role + " column \"" + reference + "\" is ambiguous: " +
             NumberedColumns(named) + " bear that name; choose one by its number");
    Fail("The " + role + " column \"" + reference + "\" is not in the file; its columns are " +
         ColumnList(table));
}

bool IsTimeName(const std::string& name) {
    const std::string lower = Lower(name);
    return lower == "time" || lower == "t" || lower == "timestamp";
}

// How far two steps of the times may differ by rounding alone: times since 1970 in seconds
// hold only about seven digits after the point, so a 10 ms step there varies in its fifth.
double RoundingOf(const std::vector<double>& times) {
    double largest = 0.0;
    for (const double time : times)
        largest = std::max(largest, std::fabs(time));
    return RoundingUlps * std::numeric_limits<double>::epsilon() * largest;
}

// The sample time of a time column that rises strictly by even steps (the first step sets
// the pace); otherwise the first line where it does not, with its step, in `uneven`.
template <typename Table>
std::optional<double> EvenStep(const Table& table, const std::vector<double>& times,
                               std::string* uneven) {
    if (times.size() < 2)
        return std::nullopt;
    const double pace = times[1] - times[0];
    const double tolerance = EvenTimeTolerance * pace + RoundingOf(times);
    for (std::size_t r = 1; r < times.size(); ++r) {
        const double delta = times[r] - times[r - 1];
        if (delta > 0.0 && std::fabs(delta - pace) <= tolerance)
            continue;
        if (uneven != nullptr)
            *uneven = table.Where(r) + " comes " + FormatGeneral(delta, 6) + " after " +
                      table.Where(r - 1) + ", where the step is " + FormatGeneral(pace, 6);
        return std::nullopt;
    }
    // Over the whole column the rounding of each step averages out.
    return (times.back() - times.front()) / static_cast<double>(times.size() - 1);
}

struct Roles {
    std::optional<int> Time;
    std::optional<double> SampleTime;
    int Output = 0;
    std::vector<int> Inputs;
};

// ", line 5: \"noon\"" for the first cell of a delimited file's time column that is no time;
// a MATLAB file's columns hold numbers only.
std::string NonTimeCell(const DelimitedTable& table, int column) {
    return ", " + table.FirstNonTime(column);
}

std::string NonTimeCell(const MatTable&, int) {
    return {};
}

template <typename Table>
void ChooseTime(const Table& table, const ImportChoice& choice, Roles& roles) {
    if (choice.Time == "none")
        return;
    if (!choice.Time.empty()) {
        roles.Time = ColumnOf(table, choice.Time, "time");
    } else {
        const std::vector<int> named = ColumnsNamed(table.Names(), IsTimeName);
        if (named.size() > 1)
            Fail("The time column is ambiguous: " + NumberedColumns(named) +
                 " bear a time's name; choose one by its number");
        if (named.size() == 1) {
            roles.Time = named.front();
        } else if (table.Columns() >= 3) {
            // An unnamed first column is the time only when it reads as one.
            const auto times = table.Times(0);
            if (times && EvenStep(table, *times, nullptr))
                roles.Time = 0;
        }
    }
    if (!roles.Time)
        return;
    const std::string& name = table.Names()[static_cast<std::size_t>(*roles.Time)];
    const auto times = table.Times(*roles.Time);
    if (!times)
        Fail("The time column \"" + name + "\" holds a cell that is neither a number nor a " +
             "date and time (ISO 8601)" + NonTimeCell(table, *roles.Time));
    std::string uneven;
    roles.SampleTime = EvenStep(table, *times, &uneven);
    if (!roles.SampleTime && !uneven.empty())
        Fail("The time column \"" + name + "\" does not rise evenly: " + uneven);
}

template <typename Table> Roles ChooseRoles(const Table& table, const ImportChoice& choice) {
    Roles roles;
    ChooseTime(table, choice, roles);
    const auto isTime = [&](int c) { return roles.Time && *roles.Time == c; };
    if (!choice.Output.empty()) {
        roles.Output = ColumnOf(table, choice.Output, "output");
    } else {
        roles.Output = table.Columns() - 1;
        if (isTime(roles.Output))
            --roles.Output;
    }
    if (roles.Output < 0 || isTime(roles.Output))
        Fail("The output column cannot be the time column");
    for (const std::string& reference : choice.Inputs)
        roles.Inputs.push_back(ColumnOf(table, reference, "input"));
    if (choice.Inputs.empty()) {
        for (int c = 0; c < table.Columns(); ++c) {
            if (c != roles.Output && !isTime(c))
                roles.Inputs.push_back(c);
        }
    }
    for (std::size_t i = 0; i < roles.Inputs.size(); ++i) {
        const int c = roles.Inputs[i];
        const std::string& name = table.Names()[static_cast<std::size_t>(c)];
        if (c == roles.Output || isTime(c))
            Fail("The column \"" + name + "\" cannot be an input and the " +
                 (c == roles.Output ? "output" : "time"));
        if (std::find(roles.Inputs.begin(), roles.Inputs.begin() + static_cast<long>(i), c) !=
            roles.Inputs.begin() + static_cast<long>(i))
            Fail("The column \"" + name + "\" is named as an input twice");
    }
    if (roles.Inputs.empty())
        Fail("The file has no input column: it needs at least one besides the output and the "
             "time");
    if (roles.Inputs.size() > static_cast<std::size_t>(DataTable::MaxInputs))
        Fail("The file has " + std::to_string(roles.Inputs.size()) +
             " input columns; a model "
             "takes at most " +
             std::to_string(DataTable::MaxInputs) + " (choose them)");
    return roles;
}

DelimitedFormat ChosenFormat(std::string_view text, const ImportChoice& choice) {
    DelimitedFormat format = DelimitedFormat::Detect(text);
    if (choice.Delimiter) {
        format.Separator = *choice.Delimiter;
        if (format.Separator == DelimitedFormat::Delimiter::Comma && !choice.Decimal)
            format.Decimal = '.';
    }
    if (choice.Decimal)
        format.Decimal = *choice.Decimal;
    if (choice.Header)
        format.Header = *choice.Header;
    if (format.Decimal == ',' && format.Separator == DelimitedFormat::Delimiter::Comma)
        Fail("A decimal comma needs another delimiter than the comma");
    return format;
}

ImportedData Native(const std::string& path) {
    DataTable table;
    DocumentFile::ReadTable(table, path);
    ImportedData data;
    data.Samples = TableSamples::FromTable(table);
    return data;
}

std::vector<double> ColumnNumbers(const DelimitedTable& table, int column, bool fill, int* filled) {
    return table.Numbers(
        column, fill ? DelimitedTable::Missing::Linear : DelimitedTable::Missing::Refuse, filled);
}

std::vector<double> ColumnNumbers(const MatTable& table, int column, bool fill, int* filled) {
    return table.Numbers(column, fill, filled);
}

template <typename Table> ImportedData Samples(const Table& table, const ImportChoice& choice) {
    if (table.Rows() > static_cast<std::size_t>(DataTable::MaxDataPoints))
        Fail("The file has " + std::to_string(table.Rows()) + " data rows; a run takes at most " +
             std::to_string(DataTable::MaxDataPoints));
    const Roles roles = ChooseRoles(table, choice);
    ImportedData data;
    data.Delimited = true;
    std::vector<std::vector<double>> inputs;
    for (const int c : roles.Inputs) {
        inputs.push_back(ColumnNumbers(table, c, choice.FillMissing, &data.FilledCells));
        data.InputNames.push_back(table.Names()[static_cast<std::size_t>(c)]);
    }
    const std::vector<double> output =
        ColumnNumbers(table, roles.Output, choice.FillMissing, &data.FilledCells);
    data.OutputName = table.Names()[static_cast<std::size_t>(roles.Output)];
    data.Samples = TableSamples::FromColumns(inputs, output);
    data.SampleTime = roles.SampleTime;
    data.InputColumns = roles.Inputs;
    data.OutputColumn = roles.Output;
    data.TimeColumn = roles.Time;
    return data;
}

ImportedData ReadDelimited(std::string text, const ImportChoice& choice) {
    const DelimitedFormat format = ChosenFormat(text, choice);
    return Samples(DelimitedTable::Parse(std::move(text), format), choice);
}

bool HasMatExtension(const std::string& path) {
    return Lower(path).ends_with(".mat");
}

// Both readers' refusals reach the caller as ImportError, whatever part of the reading failed.
template <typename Read> auto AsImportError(Read read) {
    try {
        return read();
    } catch (const ImportError&) {
        throw;
    } catch (const DocumentError& error) {
        throw ImportError(error.what());
    }
}

} // namespace

bool ImportChoice::AnySet() const {
    return Delimiter || Decimal || Header || !Output.empty() || !Inputs.empty() || !Time.empty() ||
           FillMissing;
}

ImportedData DataImport::Read(const std::string& path, const ImportChoice& choice) {
    if (HasMatExtension(path))
        return AsImportError([&] { return Samples(MatTable::Read(path), choice); });
    if (choice.AnySet() || HasDelimitedExtension(path))
        return FromDelimited(DocumentFile::ReadText(path), choice);
    try {
        return Native(path);
    } catch (const BadCellError&) {
        std::string text = DocumentFile::ReadText(path);
        if (DelimitedFormat::Detect(text).IsNative())
            throw;
        return FromDelimited(std::move(text), choice);
    }
}

ImportedData DataImport::FromDelimited(std::string text, const ImportChoice& choice) {
    return AsImportError([&] { return ReadDelimited(std::move(text), choice); });
}

ImportedData DataImport::FromTable(const DelimitedTable& table, const ImportChoice& choice) {
    return AsImportError([&] { return Samples(table, choice); });
}

ImportedData DataImport::FromTable(const MatTable& table, const ImportChoice& choice) {
    return AsImportError([&] { return Samples(table, choice); });
}

ImportedData DataImport::SuggestRoles(const DelimitedTable& table) {
    return AsImportError([&] {
        const Roles roles = ChooseRoles(table, {});
        ImportedData data;
        data.InputColumns = roles.Inputs;
        data.OutputColumn = roles.Output;
        data.TimeColumn = roles.Time;
        data.SampleTime = roles.SampleTime;
        return data;
    });
}

DelimitedFormat DataImport::FormatFor(std::string_view text, const ImportChoice& choice) {
    return AsImportError([&] { return ChosenFormat(text, choice); });
}

} // namespace orvanel
