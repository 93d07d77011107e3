// Cells of a column that hold no number, filled from their neighbours when the user asks.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orvanel::MissingValues {

// Fills values[r] for every r of `gaps` (ascending) on the straight line between the nearest
// values before and after it. Throws ImportError describe(r) followed by ", and it has no number
// on both sides to fill it from" for a gap at the start or end of the column.
void FillLinear(std::vector<double>& values, const std::vector<std::size_t>& gaps,
                const std::function<std::string(std::size_t)>& describe);

} // namespace orvanel::MissingValues
