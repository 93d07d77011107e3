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
// with the divisor n - 1, summed in position order. Throws RunError("Todos Iguales") when
// fewer than two values are valid or the deviation is negative or not a number.
FitnessStatistics ComputeFitnessStatistics(std::span<const double> fitness);

// The engine's quicksort of positions by fitness, fitter first. Entry i of the result is the
// position whose individual ends at i. The sort is not stable: equal fitnesses end in the
// order its exchanges produce, which the run depends on.
std::vector<std::size_t> SortByFitnessOrder(std::span<const double> fitness);

// Tournament of two: draws two positions (RandomInt, possibly equal), then Flip with
// probability decides whether the fitter or the less fit one wins; ties go to the second.
std::size_t TournamentPick(std::span<const double> fitness, double probability);

// Roulette wheel over the weights, first parent of a pair: draws RandomReal x total and
// returns the first position whose running sum of weights reaches it.
std::size_t RouletteFirst(std::span<const double> weights, double total);

// Second parent of a pair: draws RandomReal x (total - weights[first]) and walks the positions
// skipping first. Never returns first (when rounding leaves the walk short of its target, the
// last position other than first is taken). Needs at least two positions.
std::size_t RouletteSecond(std::span<const double> weights, double total, std::size_t first);

} // namespace orvanel
