// How closely a computed output follows the measured one, as a percentage.
#pragma once

#include <cstddef>
#include <span>

namespace orvanel {

// A fit over one or several parts (experiments): each part's squared residuals and squared
// deviations around its own mean, added up over the parts.
class FitFigure {
public:
    // 100 (1 - |y - yc| / |y - mean(y)|) over rows first..end-1 (end taken into the shorter
    // series), with |.| the Euclidean norm and the mean over the same rows: 100 for a perfect
    // model, 0 for one no better than the mean, negative for a worse one. NaN when the
    // range is empty or the measured output is constant over it.
    static double Percent(std::span<const double> measured, std::span<const double> computed,
                          std::size_t first, std::size_t end);

    // Adds a part: measured and computed row by row (computed at least as long), the
    // deviations around the part's own mean.
    void Add(std::span<const double> measured, std::span<const double> computed);
    // 100 (1 - sqrt(residuals / deviations)) over the parts added; NaN without a deviation.
    double PooledPercent() const;

private:
    double residuals = 0.0;
    double deviations = 0.0;
};

} // namespace orvanel
