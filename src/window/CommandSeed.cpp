#include "window/CommandSeed.h"

namespace orvanel::CommandSeed {

namespace {

// The state a new process of the command starts its search from with `milliseconds` as its
// seed; the calling thread's own state is left as it was.
Rnd::State FreshState(int milliseconds) {
    const Rnd::State kept = Rnd::GlobalState();
    Rnd::GlobalState() = Rnd::State{};
    Rnd::SeedRandom(Rnd::SeedFromMilliseconds(milliseconds));
    const Rnd::State fresh = Rnd::GlobalState();
    Rnd::GlobalState() = kept;
    return fresh;
}

} // namespace

std::optional<int> MillisecondsOf(const Rnd::State& start) {
    constexpr int MillisecondFields = 1000;
    for (int milliseconds = 0; milliseconds < MillisecondFields; ++milliseconds) {
        const Rnd::State fresh = FreshState(milliseconds);
        if (fresh.RandomTable == start.RandomTable && fresh.RandomIndex == start.RandomIndex &&
            fresh.SystemSeed == start.SystemSeed) {
            return milliseconds;
        }
    }
    return std::nullopt;
}

} // namespace orvanel::CommandSeed
