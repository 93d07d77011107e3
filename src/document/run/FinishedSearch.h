// What one search of a run found, in the form it travels in between processes.
#pragma once

#include "engine/linear/LinearModel.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace orvanel {

class TMISOFunTrans;

// What one search found, as it travels between processes: its index (0 the run's own
// search, k the k-th restart), its model and the score the run compares searches by.
struct FinishedSearch {
    int Index = 0;
    // The draw that seeded restart Index and its integer generator's seed; nothing for the
    // run's own search, which starts from the run's seed.
    std::optional<double> SeedDraw;
    std::uint32_t SystemSeed = 0;
    // Nothing when the search found no model that can be simulated.
    std::optional<LinearModel> Model;
    double Error = 0.0;
    double Score = 0.0;
    // The search's best model, as the report shows it under OPTIMUM SOLUTION.
    std::shared_ptr<const TMISOFunTrans> Searched;
    // The model its refinement started from, which the merge's hold-out starts from again.
    std::optional<LinearModel> Start;
};

} // namespace orvanel
