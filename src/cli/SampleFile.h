// Reading a data document's samples as numbers, for runs without the window.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvanel {

class DataTable;

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
    // Loads the file as the program loads a document, then reads its cells as FromTable does.
    // Throws DataError when the file cannot be loaded, saying why.
    static SampleTable Read(const std::string& path);

    // Reads every input and output cell of the table's data rows as a number with "." as the
    // decimal separator. Throws DataError naming the row and column of the first cell, row by
    // row, that is not a number (an empty cell is none).
    static SampleTable FromTable(const DataTable& table);
};

} // namespace orvanel
