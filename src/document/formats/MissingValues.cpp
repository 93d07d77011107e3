#include "document/formats/MissingValues.h"

#include "document/formats/DataImport.h"

namespace orvanel::MissingValues {

void FillLinear(std::vector<double>& values, const std::vector<std::size_t>& gaps,
                const std::function<std::string(std::size_t)>& describe) {
    for (std::size_t g = 0; g < gaps.size();) {
        const std::size_t first = gaps[g];
        std::size_t last = first;
        while (g + 1 < gaps.size() && gaps[g + 1] == last + 1)
            last = gaps[++g];
        ++g;
        if (first == 0 || last + 1 == values.size())
            throw ImportError(describe(first == 0 ? first : last) +
                              ", and it has no number on both sides to fill it from");
        const double before = values[first - 1];
        const double after = values[last + 1];
        const auto span = static_cast<double>(last + 2 - first);
        for (std::size_t r = first; r <= last; ++r)
            values[r] = before + (after - before) * static_cast<double>(r + 1 - first) / span;
    }
}

} // namespace orvanel::MissingValues
