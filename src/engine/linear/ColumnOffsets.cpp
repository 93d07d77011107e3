#include "engine/linear/ColumnOffsets.h"

#include <algorithm>

namespace orvanel {

ColumnOffsets ColumnOffsets::Measure(std::span<const std::vector<double>> columns,
                                     std::size_t rows) {
    ColumnOffsets offsets;
    for (const std::vector<double>& column : columns) {
        const std::size_t count = std::min(rows, column.size());
        double sum = 0.0;
        for (std::size_t i = 0; i < count; ++i)
            sum = sum + column[i];
        offsets.means.push_back(count == 0 ? 0.0 : sum / static_cast<double>(count));
    }
    return offsets;
}

void ColumnOffsets::Remove(std::span<std::vector<double>> columns) const {
    const std::size_t count = std::min(columns.size(), means.size());
    for (std::size_t c = 0; c < count; ++c)
        for (double& value : columns[c])
            value = value - means[c];
}

void ColumnOffsets::AddToOutput(std::span<double> output) const {
    const double mean = OutputMean();
    for (double& value : output)
        value = value + mean;
}

} // namespace orvanel
