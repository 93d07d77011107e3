#include "model/Experiments.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>

namespace orvanel {

Experiments::Experiments(std::vector<std::size_t> firstRows) {
    if (firstRows.empty())
        return;
    firstRows.front() = 0;
    if (std::adjacent_find(firstRows.begin(), firstRows.end(), std::greater_equal<>()) !=
        firstRows.end())
        throw std::invalid_argument("Experiments must begin at rising rows");
    if (firstRows.size() > 1)
        starts = std::make_shared<const std::vector<std::size_t>>(std::move(firstRows));
}

std::vector<std::size_t> Experiments::Starts() const {
    return starts ? *starts : std::vector<std::size_t>{0};
}

std::vector<Experiments::Part> Experiments::Parts(std::size_t rows) const {
    std::vector<Part> parts;
    const std::vector<std::size_t> first = Starts();
    for (std::size_t k = 0; k < first.size() && first[k] < rows; ++k)
        parts.push_back({first[k], k + 1 < first.size() ? std::min(first[k + 1], rows) : rows});
    return parts;
}

bool Experiments::operator==(const Experiments& other) const {
    return starts == other.starts || Starts() == other.Starts();
}

} // namespace orvanel
