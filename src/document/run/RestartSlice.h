// One process's share of a run's searches when they are spread over several processes.
#pragma once

namespace orvanel {

// Slice Index of Count runs the searches whose index is Index modulo Count; a slice of one
// runs them all.
struct RestartSlice {
    int Index = 0;
    int Count = 1;
};

} // namespace orvanel
