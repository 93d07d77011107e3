// The engine's scoring statistics and parent picks, on plain arrays of fitness and weights.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace orvanel {

// Fitness at or below this marks a model whose scoring failed; statistics leave it out.
inline constexpr double ValidFitnessFloor = -1e250;

// The fitness given to an individual whose scoring failed.
inline constexpr double FailedFitness = -1e300;

struct FitnessStatistics {
    double Mean = 0.0;
    double Deviation = 0.0;
};

// Mean of the valid fitness values (above ValidFitnessFloor) and their mean absolute deviation
// with the divisor n - 1, summed in position order. Throws RunError::AllEqual() when
// fewer than two values are valid or the deviation is negative or not a number.
FitnessStatistics ComputeFitnessStatistics(std::span<const double> fitness);

// The engine's quicksort of positions by fitness, fitter first. Entry i of the result is the
// position whose individual ends at i. The sort is not stable: equal fitnesses end in the
// order its exchanges produce, which the run depends on.
std::vector<std::size_t> SortByFitnessOrder(std::span<const double> fitness);

// Tournament of two: draws two positions (RandomInt, possibly equal), then Flip with
// probability decides whether the fitter or the less fit one wins; ties go to the second.
std::size_t TournamentPick(std::span<const double> fitness, double probability);

// The roulette wheel of one generation over the selection weights, which it reads while it
// lives. Each pick draws RandomReal once and takes the position where a walk adding the
// weights from the first position, in order, first reaches the target; the running sums are
// kept, so a pick is a binary search instead of a walk, and it takes the same position, bit
// for bit, as the walk would.
class RouletteWheel {
public:
    explicit RouletteWheel(std::span<const double> weights);

    // First parent of a pair: draws RandomReal x total and returns the first position whose
    // running sum reaches it, the last position when none does.
    std::size_t First(double total) const;

    // Second parent of a pair: draws RandomReal x (total - weights[first]) and walks the
    // positions skipping first. Never returns first (when rounding leaves the walk short of
    // its target, the last position other than first is taken). Needs at least two positions.
    std::size_t Second(double total, std::size_t first) const;

private:
    std::size_t SecondAfter(std::size_t first, double target) const;

    std::span<const double> weights;
    // prefix[i]: 0.0 + weights[0] + ... + weights[i], added in that order.
    std::vector<double> prefix;
    // How far a walk that skips one position can be from the prefix sum less that weight.
    double skipMargin = 0.0;
    // Whether the weights allow searching: finite, not negative, and a total far from overflow.
    bool searchable = false;
};

} // namespace orvanel
