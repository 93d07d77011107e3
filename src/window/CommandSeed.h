// The seed of the command, orvanel-identify --seed-ms, that repeats a window's run: there is
// one when the run began from the state a new process of the command seeds.
#pragma once

#include "model/Rnd.h"

#include <optional>

namespace orvanel::CommandSeed {

// The --seed-ms with which the command repeats the search that began from `start`; none when no
// millisecond seed gives that state.
std::optional<int> MillisecondsOf(const Rnd::State& start);

} // namespace orvanel::CommandSeed
