// Where each of several experiments begins among their rows laid end to end.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace orvanel {

// Rows of several experiments laid end to end, in order. Every simulation starts from rest
// at each experiment's first row and takes the input as 0 outside the experiment's own rows,
// as if each were simulated alone; errors still add up row by row in order. Copies share the
// starts, and the single experiment, the usual case, holds none at all.
class Experiments {
public:
    // One experiment over all rows.
    Experiments() = default;
    // The first row of every experiment, ascending; a first entry other than 0 is taken as 0.
    // Throws std::invalid_argument when the starts do not ascend strictly.
    explicit Experiments(std::vector<std::size_t> starts);

    std::size_t Count() const { return starts ? starts->size() : 1; }
    bool Single() const { return !starts; }
    // The first row of every experiment, 0 first.
    std::vector<std::size_t> Starts() const;

    // The rows [Begin, End) of one experiment.
    struct Part {
        std::size_t Begin = 0;
        std::size_t End = 0;
    };
    // Every experiment's rows among the first `rows`, in order; an experiment is cut at
    // `rows`, and those beginning at or past it are left out.
    std::vector<Part> Parts(std::size_t rows) const;

    bool operator==(const Experiments& other) const;

private:
    // Null for one experiment.
    std::shared_ptr<const std::vector<std::size_t>> starts;
};

} // namespace orvanel
