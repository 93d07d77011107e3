#include "engine/search/EliteKeeper.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace orvanel {
namespace {

// An independent copy, made the way the model copies itself.
TMISOFunTrans CopyOf(const TMISOFunTrans& source) {
    TMISOFunTrans copy;
    copy.Assign(source);
    return copy;
}

} // namespace

EliteKeeper::EliteKeeper(std::function<double(std::size_t)> errorOf,
                         std::function<void(std::size_t)> stopPoint)
    : errorOf(std::move(errorOf)), stopPoint(std::move(stopPoint)) {}

void EliteKeeper::Update(std::span<const TMISOFunTrans> population, std::size_t count,
                         bool errorsKept) {
    const bool ordered = errorsKept && std::none_of(population.begin(), population.end(),
                                                    [](const TMISOFunTrans& individual) {
                                                        return std::isnan(individual.Error);
                                                    });
    const std::vector<std::size_t> slots =
        ordered ? SlotsRanked(population, count) : Slots(population, count);
    members.clear();
    members.reserve(count);
    for (const std::size_t from : slots)
        members.push_back(CopyOf(population[from]));
}

// The elite's slots as the algorithm finds them: the first count positions, then each later
// one of lower error than the worst slot's takes that slot, and all slots are scanned again
// for the worst, the first of equal errors.
std::vector<std::size_t> EliteKeeper::Slots(std::span<const TMISOFunTrans> population,
                                            std::size_t count) {
    std::vector<std::size_t> slots(count);
    double worst = errorOf(0);
    std::size_t w = 0;
    for (std::size_t i = 0; i < count; ++i) {
        stopPoint(i + 1);
        slots[i] = i;
        const double e = errorOf(i);
        if (e > worst) {
            worst = e;
            w = i;
        }
    }
    for (std::size_t i = count; i < population.size(); ++i) {
        stopPoint(i + 1);
        const double e = errorOf(i);
        if (!(e < worst))
            continue;
        slots[w] = i;
        worst = e;
        for (std::size_t j = 0; j < count; ++j) {
            const double slotError = errorOf(slots[j]);
            if (slotError > worst) {
                worst = slotError;
                w = j;
            }
        }
    }
    return slots;
}

// The same slots with the errors kept in order instead of scanned at every replacement, which
// took time in the square of the population when a refresh keeps most of it. The scan's
// worst is the first slot of the largest error, or the slot just filled when no other is
// larger; the order needs errors that compare, so a NaN takes the scan.
std::vector<std::size_t> EliteKeeper::SlotsRanked(std::span<const TMISOFunTrans> population,
                                                  std::size_t count) {
    using Ranked = std::pair<double, std::size_t>;
    const auto worseFirst = [](const Ranked& a, const Ranked& b) {
        return a.first > b.first || (a.first == b.first && a.second < b.second);
    };
    std::set<Ranked, decltype(worseFirst)> ranked(worseFirst);
    std::vector<std::size_t> slots(count);
    for (std::size_t i = 0; i < count; ++i) {
        stopPoint(i + 1);
        slots[i] = i;
        ranked.emplace(population[i].Error, i);
    }
    std::size_t w = ranked.begin()->second;
    double worst = ranked.begin()->first;
    for (std::size_t i = count; i < population.size(); ++i) {
        stopPoint(i + 1);
        const double e = population[i].Error;
        if (!(e < worst))
            continue;
        ranked.erase({population[slots[w]].Error, w});
        slots[w] = i;
        ranked.emplace(e, w);
        if (ranked.begin()->first > e)
            w = ranked.begin()->second;
        worst = ranked.begin()->first;
    }
    return slots;
}

} // namespace orvanel
