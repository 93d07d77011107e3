#include "engine/linear/FitFigure.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvanel {

double FitFigure::Percent(std::span<const double> measured, std::span<const double> computed,
                          std::size_t first, std::size_t end) {
    end = std::min({end, measured.size(), computed.size()});
    if (first >= end)
        return std::numeric_limits<double>::quiet_NaN();
    double mean = 0.0;
    for (std::size_t i = first; i < end; ++i)
        mean = mean + measured[i];
    mean = mean / static_cast<double>(end - first);
    double residual = 0.0;
    double spread = 0.0;
    for (std::size_t i = first; i < end; ++i) {
        const double r = measured[i] - computed[i];
        const double d = measured[i] - mean;
        residual = residual + r * r;
        spread = spread + d * d;
    }
    if (spread == 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    return 100.0 * (1.0 - std::sqrt(residual) / std::sqrt(spread));
}

} // namespace orvanel
