// How a delimited text file (CSV and its kin) lays out its cells.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvanel {

// The delimiter, decimal mark and header of a delimited file. Detect fills it from the file's
// first lines; the user may override each field.
struct DelimitedFormat {
    enum class Delimiter { Tab, Comma, Semicolon, Spaces };

    Delimiter Separator = Delimiter::Tab;
    // '.' or ','; a comma only where the delimiter is not one.
    char Decimal = '.';
    // Whether the first line holds the column names.
    bool Header = false;

    // The layout the first lines suggest: the delimiter that splits them into the same number
    // of cells, more than one (tab, then semicolon, comma and runs of spaces, in that order of
    // preference); a decimal comma when numbers are written with one and the delimiter is not
    // a comma; a header when the first line holds a cell that is no number and the next lines
    // do not.
    static DelimitedFormat Detect(std::string_view text);

    // Whether a text in this layout can be read as the program's own format: tab, '.', no
    // header.
    bool IsNative() const { return Separator == Delimiter::Tab && Decimal == '.' && !Header; }

    // The delimiter named as on the command line: "tab", "comma", "semicolon", "space" or the
    // character itself; nothing for another text.
    static std::optional<Delimiter> DelimiterNamed(std::string_view name);
    static char DelimiterCharacter(Delimiter delimiter);
};

} // namespace orvanel
