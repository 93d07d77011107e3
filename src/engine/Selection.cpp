#include "engine/Selection.h"

#include "engine/RunError.h"
#include "model/Rnd.h"

#include <cmath>
#include <utility>

namespace orvanel {
namespace {

// -1 when a is the fitter, 1 when b is, 0 otherwise.
int CompareFitness(double a, double b) {
    if (a > b)
        return -1;
    if (a < b)
        return 1;
    return 0;
}

void QuickSort(std::vector<std::size_t>& order, std::span<const double> fitness, long left,
               long right) {
    long i = 0;
    do {
        i = left;
        long j = right;
        const double pivot = fitness[order[static_cast<std::size_t>((left + right) / 2)]];
        do {
            while (CompareFitness(fitness[order[static_cast<std::size_t>(i)]], pivot) < 0)
                ++i;
            while (CompareFitness(fitness[order[static_cast<std::size_t>(j)]], pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (left < j)
            QuickSort(order, fitness, left, j);
        left = i;
    } while (i < right);
}

} // namespace

FitnessStatistics ComputeFitnessStatistics(std::span<const double> fitness) {
    double sum = 0.0;
    std::size_t valid = 0;
    for (const double f : fitness) {
        if (f > ValidFitnessFloor) {
            sum += f;
            ++valid;
        }
    }
    if (valid < 2)
        throw RunError("Todos Iguales");
    FitnessStatistics result;
    result.Mean = sum / static_cast<double>(valid);
    // The absolute difference is summed directly: squaring spreads near 1e250 would overflow.
    double spread = 0.0;
    for (const double f : fitness) {
        if (f > ValidFitnessFloor)
            spread += std::fabs(f - result.Mean);
    }
    result.Deviation = spread / static_cast<double>(valid - 1);
    if (std::isnan(result.Deviation) || result.Deviation < 0.0)
        throw RunError("Todos Iguales");
    return result;
}

std::vector<std::size_t> SortByFitnessOrder(std::span<const double> fitness) {
    std::vector<std::size_t> order(fitness.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (order.size() > 1)
        QuickSort(order, fitness, 0, static_cast<long>(order.size()) - 1);
    return order;
}

std::size_t TournamentPick(std::span<const double> fitness, double probability) {
    const int last = static_cast<int>(fitness.size()) - 1;
    const auto a = static_cast<std::size_t>(Rnd::RandomInt(0, last));
    const auto b = static_cast<std::size_t>(Rnd::RandomInt(0, last));
    if (Rnd::Flip(probability))
        return fitness[a] > fitness[b] ? a : b;
    return fitness[a] < fitness[b] ? a : b;
}

std::size_t RouletteFirst(std::span<const double> weights, double total) {
    const double target = Rnd::RandomReal() * total;
    double sum = 0.0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        sum += weights[i];
        if (sum >= target)
            return i;
    }
    return weights.size() - 1;
}

std::size_t RouletteSecond(std::span<const double> weights, double total, std::size_t first) {
    const double target = Rnd::RandomReal() * (total - weights[first]);
    double sum = 0.0;
    std::size_t lastOther = first;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        if (i == first)
            continue;
        sum += weights[i];
        lastOther = i;
        if (sum >= target)
            return i;
    }
    return lastOther;
}

} // namespace orvanel
