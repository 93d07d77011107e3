// The working point of a data set: the mean of every column over the estimation rows.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace orvanel {

// A model without an offset term cannot fit data measured around a working point; with the
// means taken out it identifies the deviations, and its output plus the output's mean is the
// model of the measured output. Columns are the inputs, then the output last.
class ColumnOffsets {
public:
    // No offsets: every mean 0.
    ColumnOffsets() = default;
    // The mean of each column over its first `rows` entries (fewer when the column is
    // shorter; 0 for none).
    static ColumnOffsets Measure(std::span<const std::vector<double>> columns, std::size_t rows);

    // One mean per column, the output's last.
    const std::vector<double>& Means() const { return means; }
    double OutputMean() const { return means.empty() ? 0.0 : means.back(); }

    // Subtracts from every entry of column c the mean of column c (columns beyond the
    // measured ones are left alone).
    void Remove(std::span<std::vector<double>> columns) const;
    // Adds the output's mean to every entry of a model output computed without offsets.
    void AddToOutput(std::span<double> output) const;

private:
    std::vector<double> means;
};

} // namespace orvanel
