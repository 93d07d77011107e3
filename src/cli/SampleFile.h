// Reading a data document's samples as numbers, for runs without the window.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {

// Data that cannot be used; the text says why in one line.
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A table of samples: Inputs input columns and the output, row by row.
struct SampleTable {
    int Inputs = 0;
    int Samples = 0;
    // Row-major, Inputs + 1 values per sample.
    std::vector<double> Values;

    std::span<const double> Row(int sample) const;
};

class SampleFile {
public:
    // Reads the file as the program loads a document and converts every cell to a number.
    // Throws DataError when the file cannot be read or has no complete line, and, naming the
    // row and column of the first cell that is not a number, when a cell is not one.
    static SampleTable Read(const std::string& path);

    // The same for the text of a file: lines end with CR LF, CR or LF; only complete lines
    // count; cells are separated by TAB; the widest line sets the columns (at least two), the
    // last being the output; numbers use "." as the decimal separator.
    static SampleTable Parse(std::string_view text);
};

} // namespace orvanel
