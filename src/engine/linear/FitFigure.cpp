#include "engine/linear/FitFigure.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace orvanel {

double FitFigure::Percent(std::span<const double> measured, std::span<const double> computed,
                          std::size_t first, std::size_t end) {
    end = std::min({end, measured.size(), computed.size()});
    if (first >= end)
        return std::numeric_limits<double>::quiet_NaN();
    FitFigure part;
    part.Add(measured.subspan(first, end - first), computed.subspan(first, end - first));
    if (part.deviations == 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    // The ratio of the norms, not the root of the ratio PooledPercent takes: the two differ in
    // the last bit, and each figure stays as reports have always shown it.
    return 100.0 * (1.0 - std::sqrt(part.residuals) / std::sqrt(part.deviations));
}

void FitFigure::Add(std::span<const double> measured, std::span<const double> computed) {
    const std::size_t rows = measured.size();
    const double mean = rows > 0 ? std::accumulate(measured.begin(), measured.end(), 0.0) /
                                       static_cast<double>(rows)
                                 : 0.0;
    for (std::size_t r = 0; r < rows; ++r) {
        const double residual = measured[r] - computed[r];
        residuals += residual * residual;
        deviations += (measured[r] - mean) * (measured[r] - mean);
    }
}

double FitFigure::PooledPercent() const {
    return deviations > 0.0 ? 100.0 * (1.0 - std::sqrt(residuals / deviations))
                            : std::numeric_limits<double>::quiet_NaN();
}

} // namespace orvanel
