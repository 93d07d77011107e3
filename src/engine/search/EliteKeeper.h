// The elite of the genetic search: copies of the individuals of lowest error in its population.
#pragma once

#include "model/MISOFunTrans.h"

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace orvanel {

class EliteKeeper {
public:
    // errorOf(i): the Error of population position i as the search reads it, which may
    // evaluate that individual again. stopPoint: called once per position handled with the
    // count handled so far; it may throw to end the step.
    EliteKeeper(std::function<double(std::size_t)> errorOf,
                std::function<void(std::size_t)> stopPoint);

    // The copies the last Update made, in the order their slots were filled.
    const std::vector<TMISOFunTrans>& Members() const { return members; }
    void Clear() { members.clear(); }

    // Members := copies of the count individuals of lowest error (1 <= count <= the population
    // size), earlier positions winning ties. errorsKept: every individual's Error belongs to
    // its current chromosome, so the errors are read from the individuals when none is NaN,
    // with the same slots as through errorOf.
    void Update(std::span<const TMISOFunTrans> population, std::size_t count, bool errorsKept);

private:
    std::vector<std::size_t> Slots(std::span<const TMISOFunTrans> population, std::size_t count);
    std::vector<std::size_t> SlotsRanked(std::span<const TMISOFunTrans> population,
                                         std::size_t count);

    std::function<double(std::size_t)> errorOf;
    std::function<void(std::size_t)> stopPoint;
    std::vector<TMISOFunTrans> members;
};

} // namespace orvanel
