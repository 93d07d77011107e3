// Many independent recursions run side by side, so that their samples fill the processor's
// vector lanes and pipelines instead of waiting on one recursion's latency.
#pragma once

#include "model/Experiments.h"
#include "model/Recursion.h"

#include <cstddef>
#include <span>

namespace orvanel {

class RecursionLanes {
public:
    // One contribution to a sum of simulated outputs.
    struct Lane {
        // Simulated: the recursion's samples are added to sum as Recursion::Run(out, sum) adds
        // them. Not simulated: constant is added to every entry of sum.
        bool simulated = true;
        Recursion recursion{};
        double constant = 0.0;
        // count entries; several lanes may share one sum.
        double* sum = nullptr;
        // For a simulated lane, what Recursion::Run would have returned.
        Recursion::Result result{};
    };

    // Runs every lane over count samples (each recursion's own count must equal it). Every
    // recursion keeps its order of operations, and each entry of a sum receives the lanes
    // that add to it in the order they are listed, so every result is the same bits as
    // running the lanes one after the other through Recursion::Run. Lanes next to each other
    // in the list share vector registers when they read the same measured outputs. The
    // widest vectors the processor offers are used unless baselineOnly asks for those every
    // x86-64 processor has; the results are the same. clearSums sets every sum to +0.0
    // before any lane adds to it. With threads above 1 the process's helper thread, unless
    // another caller holds it, runs the later half of the lanes, adding each block after the
    // first half has; the results are the same.
    static void Run(std::span<Lane> lanes, std::size_t count, bool baselineOnly = false,
                    bool clearSums = false, int threads = 1);
    // Run over one experiment after the other, each from rest: the lanes' sums hold every
    // experiment's samples at its rows, and each result adds up the experiments' results in
    // order (a lane failing in one experiment stays incomplete however the next ones go).
    static void Run(std::span<Lane> lanes, const Experiments& experiments, std::size_t count,
                    bool baselineOnly = false, bool clearSums = false, int threads = 1);
};

} // namespace orvanel
