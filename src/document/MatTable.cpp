#include "document/MatTable.h"

#include "document/DataImport.h"
#include "document/MissingValues.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <matio.h>
#include <memory>

namespace orvanel {
namespace {

struct MatFileCloser {
    void operator()(mat_t* file) const { Mat_Close(file); }
};
struct VariableFreer {
    void operator()(matvar_t* variable) const { Mat_VarFree(variable); }
};
using MatFile = std::unique_ptr<mat_t, MatFileCloser>;
using Variable = std::unique_ptr<matvar_t, VariableFreer>;

// A numeric variable's values as doubles, column-major as MATLAB stores them.
template <typename T> std::vector<double> Values(const matvar_t& variable, std::size_t count) {
    const auto* data = static_cast<const T*>(variable.data);
    return std::vector<double>(data, data + count);
}

std::optional<std::vector<double>> AsDoubles(const matvar_t& variable, std::size_t count) {
    switch (variable.class_type) {
    case MAT_C_DOUBLE:
        return Values<double>(variable, count);
    case MAT_C_SINGLE:
        return Values<float>(variable, count);
    case MAT_C_INT8:
        return Values<std::int8_t>(variable, count);
    case MAT_C_UINT8:
        return Values<std::uint8_t>(variable, count);
    case MAT_C_INT16:
        return Values<std::int16_t>(variable, count);
    case MAT_C_UINT16:
        return Values<std::uint16_t>(variable, count);
    case MAT_C_INT32:
        return Values<std::int32_t>(variable, count);
    case MAT_C_UINT32:
        return Values<std::uint32_t>(variable, count);
    case MAT_C_INT64:
        return Values<std::int64_t>(variable, count);
    case MAT_C_UINT64:
        return Values<std::uint64_t>(variable, count);
    default:
        return std::nullopt;
    }
}

std::string ClassName(const matvar_t& variable) {
    if (variable.isComplex)
        return "complex";
    switch (variable.class_type) {
    case MAT_C_CELL:
        return "a cell array";
    case MAT_C_STRUCT:
        return "a structure";
    case MAT_C_OBJECT:
    case MAT_C_OPAQUE:
    case MAT_C_FUNCTION:
        return "an object";
    case MAT_C_CHAR:
        return "text";
    case MAT_C_SPARSE:
        return "a sparse matrix";
    case MAT_C_EMPTY:
        return "empty";
    default:
        return variable.rank > 2 ? "an array of " + std::to_string(variable.rank) + " dimensions"
                                 : "numeric";
    }
}

// A plain numeric variable of two dimensions: its rows, columns and values.
struct Numeric {
    std::string Name;
    std::size_t Rows = 0;
    std::size_t Columns = 0;
    std::vector<double> Values;
};

[[noreturn]] void Fail(const std::string& path, const std::string& message) {
    throw ImportError(path + " " + message);
}

std::vector<Numeric> NumericVariables(const std::string& path, std::string& passedOver) {
    const MatFile file(Mat_Open(path.c_str(), MAT_ACC_RDONLY));
    if (!file)
        Fail(path, "cannot be opened as a MATLAB data file (version 5 or 7.3)");
    std::vector<Numeric> found;
    while (const Variable variable{Mat_VarReadNext(file.get())}) {
        const std::string name = variable->name != nullptr ? variable->name : "?";
        const bool plain = !variable->isComplex && !variable->isLogical && variable->rank == 2 &&
                           variable->data != nullptr;
        const std::size_t rows = variable->rank >= 1 ? variable->dims[0] : 0;
        const std::size_t columns = variable->rank >= 2 ? variable->dims[1] : 0;
        std::optional<std::vector<double>> values;
        if (plain)
            values = AsDoubles(*variable, rows * columns);
        if (!values) {
            passedOver += (passedOver.empty() ? "" : ", ") + name + " is " + ClassName(*variable);
            continue;
        }
        if (rows * columns > 1)
            found.push_back({name, rows, columns, std::move(*values)});
    }
    return found;
}

} // namespace

MatTable MatTable::Read(const std::string& path) {
    std::string passedOver;
    const std::vector<Numeric> variables = NumericVariables(path, passedOver);
    MatTable table;
    std::vector<const Numeric*> matrices;
    std::map<std::size_t, std::vector<const Numeric*>> vectorsByLength;
    for (const Numeric& variable : variables) {
        if (variable.Rows > 1 && variable.Columns > 1)
            matrices.push_back(&variable);
        else
            vectorsByLength[variable.Rows * variable.Columns].push_back(&variable);
    }
    if (matrices.size() > 1)
        Fail(path, "holds several matrices (" + matrices[0]->Name + ", " + matrices[1]->Name +
                       "): save the signals as one matrix, or as one vector each");
    if (matrices.size() == 1) {
        const Numeric& matrix = *matrices.front();
        // The signals run along the longer side.
        const bool byColumn = matrix.Rows >= matrix.Columns;
        const std::size_t signals = byColumn ? matrix.Columns : matrix.Rows;
        const std::size_t samples = byColumn ? matrix.Rows : matrix.Columns;
        for (std::size_t s = 0; s < signals; ++s) {
            table.names.push_back(matrix.Name + (byColumn ? "(:," : "(") + std::to_string(s + 1) +
                                  (byColumn ? ")" : ",:)"));
            std::vector<double> column(samples);
            for (std::size_t i = 0; i < samples; ++i)
                column[i] = byColumn ? matrix.Values[s * matrix.Rows + i]
                                     : matrix.Values[i * matrix.Rows + s];
            table.columns.push_back(std::move(column));
        }
        return table;
    }
    if (vectorsByLength.empty())
        Fail(path, "holds no numeric matrix or vectors to read" +
                       (passedOver.empty() ? std::string() : ": " + passedOver));
    if (vectorsByLength.size() > 1) {
        std::string lengths;
        for (const auto& [length, vectors] : vectorsByLength)
            lengths += (lengths.empty() ? "" : ", ") + vectors.front()->Name + " has " +
                       std::to_string(length);
        Fail(path, "holds vectors of different lengths (" + lengths + " values)");
    }
    for (const Numeric* vector : vectorsByLength.begin()->second) {
        table.names.push_back(vector->Name);
        table.columns.push_back(vector->Values);
    }
    return table;
}

std::vector<double> MatTable::Numbers(int column, bool fill, int* filled) const {
    std::vector<double> values = columns[static_cast<std::size_t>(column)];
    const std::string& name = names[static_cast<std::size_t>(column)];
    const auto describe = [&](std::size_t r) {
        return "Row " + std::to_string(r + 1) + ", variable \"" + name + "\" is not a finite number";
    };
    std::vector<std::size_t> gaps;
    for (std::size_t r = 0; r < values.size(); ++r) {
        if (std::isfinite(values[r]))
            continue;
        if (!fill)
            throw ImportError(describe(r));
        gaps.push_back(r);
    }
    MissingValues::FillLinear(values, gaps, describe);
    if (filled != nullptr)
        *filled += static_cast<int>(gaps.size());
    return values;
}

std::optional<std::vector<double>> MatTable::Times(int column) const {
    const std::vector<double>& values = columns[static_cast<std::size_t>(column)];
    for (const double v : values) {
        if (!std::isfinite(v))
            return std::nullopt;
    }
    return values;
}

} // namespace orvanel
