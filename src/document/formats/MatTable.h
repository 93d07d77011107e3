// The numeric variables of a MATLAB data file (versions 5 and 7.3) as named columns.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace orvanel {

// The signals of a .mat file as columns: a numeric matrix whose columns (the shorter side) are
// the signals, named "data(:,1)", "data(:,2)"..., or else one numeric vector per signal, named
// by its variable. Logical values read as 0 and 1. Scalars, text, cells and structures beside
// them are passed over.
class MatTable {
public:
    // Reads the file. Throws ImportError: the file is not a regular file or cannot be opened as
    // a MATLAB file, it is cut short or declares a variable larger than it can hold, it holds
    // no numeric matrix or vectors (naming what it holds, "s is a structure"), vectors of
    // different lengths, several matrices, a matrix beside vectors, a complex variable or a
    // sparse matrix.
    static MatTable Read(const std::string& path);

    int Columns() const { return static_cast<int>(names.size()); }
    std::size_t Rows() const { return columns.empty() ? 0 : columns.front().size(); }
    const std::vector<std::string>& Names() const { return names; }
    // "row 12", for messages.
    static std::string Where(std::size_t row) { return "row " + std::to_string(row + 1); }

    // The column; a NaN or infinite value is a missing one: ImportError
    // "Row 12, variable \"feed\" is not a finite number", or with `fill` interpolated between its
    // neighbours and counted in *filled.
    std::vector<double> Numbers(int column, bool fill = false, int* filled = nullptr) const;
    // The column as times: nothing when a value is not finite.
    std::optional<std::vector<double>> Times(int column) const;

private:
    std::vector<std::string> names;
    std::vector<std::vector<double>> columns;
};

} // namespace orvanel
