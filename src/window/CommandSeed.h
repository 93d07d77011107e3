// The seeds of the command, orvanel-identify --seed-ms, for the window's runs: a run in the
// window starts as the command's would, so that the seed its export names repeats it there.
#pragma once

#include "model/Rnd.h"

#include <optional>

namespace orvanel::CommandSeed {

// The random state a new process of the command starts its search from with `milliseconds` as
// its seed; the calling thread's own state is left as it was.
Rnd::State FreshState(int milliseconds);

// The --seed-ms with which the command repeats the search that began from `start`; none when no
// millisecond seed gives that state.
std::optional<int> MillisecondsOf(const Rnd::State& start);

} // namespace orvanel::CommandSeed
