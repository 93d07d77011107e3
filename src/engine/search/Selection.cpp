#include "engine/search/Selection.h"

#include "model/Rnd.h"
#include "model/RunError.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

constexpr std::size_t NoSkip = std::numeric_limits<std::size_t>::max();

// The roulette's walk from position from on, the running sum of the positions before it in
// sum, skipping position skip: the first position where the sum reaches target, or the last
// position it added (lastOther when it adds none).
std::size_t Walk(std::span<const double> weights, double target, std::size_t skip, std::size_t from,
                 double sum, std::size_t lastOther) {
    for (std::size_t i = from; i < weights.size(); ++i) {
        if (i == skip)
            continue;
        sum += weights[i];
        lastOther = i;
        if (sum >= target)
            return i;
    }
    return lastOther;
}

// The first i in [from, to) where reached(i) holds, or to; reached must hold from there on.
template <typename Reached>
std::size_t FirstReached(std::size_t from, std::size_t to, Reached reached) {
    while (from < to) {
        const std::size_t middle = from + (to - from) / 2;
        if (reached(middle))
            to = middle;
        else
            from = middle + 1;
    }
    return from;
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
        throw RunError::AllEqual();
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
        throw RunError::AllEqual();
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

RouletteWheel::RouletteWheel(std::span<const double> weights)
    : weights(weights), prefix(weights.size()) {
    double sum = 0.0;
    bool nonnegative = true;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        nonnegative = nonnegative && weights[i] >= 0.0;
        sum += weights[i];
        prefix[i] = sum;
    }
    // With nonnegative terms the sums never decrease, which the searches need, and no sum of
    // these terms in another order can overflow.
    searchable = nonnegative && sum <= std::numeric_limits<double>::max() / 4.0;
    // Two sums of at most n nonnegative terms are each within n u of their exact value
    // (u = 2^-53), and so of each other; the subtraction adds u. Twice that bound leaves room
    // for the rounding of the margin and of the comparisons; DBL_MIN covers a zero total.
    const double n = static_cast<double>(weights.size());
    constexpr double u = std::numeric_limits<double>::epsilon() / 2.0;
    skipMargin = 4.0 * (n + 2.0) * u * sum + std::numeric_limits<double>::min();
}

std::size_t RouletteWheel::First(double total) const {
    const double target = Rnd::RandomReal() * total;
    if (!searchable || std::isnan(target))
        return Walk(weights, target, NoSkip, 0, 0.0, weights.size() - 1);
    const auto found = std::lower_bound(prefix.begin(), prefix.end(), target);
    return found == prefix.end() ? weights.size() - 1
                                 : static_cast<std::size_t>(found - prefix.begin());
}

std::size_t RouletteWheel::Second(double total, std::size_t first) const {
    const double target = Rnd::RandomReal() * (total - weights[first]);
    if (!searchable || std::isnan(target))
        return Walk(weights, target, first, 0, 0.0, first);
    // Up to first the walk's running sums are the prefix sums.
    const auto skipped = prefix.begin() + static_cast<std::ptrdiff_t>(first);
    const auto found = std::lower_bound(prefix.begin(), skipped, target);
    if (found != skipped)
        return static_cast<std::size_t>(found - prefix.begin());
    return SecondAfter(first, target);
}

// Past first the walk adds the weights onto prefix[first - 1]: other roundings than those of
// the prefix sums, so its sums are only known to lie within skipMargin of prefix[i] -
// weights[first]. The position is certain when the band's two edges reach the target at the
// same position; otherwise, rarely (the band is about n u of the total wide, a weight about
// 1/n of it), the walk is taken.
std::size_t RouletteWheel::SecondAfter(std::size_t first, double target) const {
    const std::size_t n = weights.size();
    const std::size_t lastBefore = first > 0 ? first - 1 : first;
    const std::size_t lastOther = first + 1 < n ? n - 1 : lastBefore;
    const double skippedWeight = weights[first];
    const std::size_t earliest = FirstReached(first + 1, n, [&](std::size_t i) {
        return (prefix[i] - skippedWeight) + skipMargin >= target;
    });
    const std::size_t latest = FirstReached(earliest, n, [&](std::size_t i) {
        return (prefix[i] - skippedWeight) - skipMargin >= target;
    });
    if (earliest == latest)
        return earliest == n ? lastOther : earliest;
    const double sumBefore = first > 0 ? prefix[first - 1] : 0.0;
    return Walk(weights, target, first, first + 1, sumBefore, lastBefore);
}

} // namespace orvanel
