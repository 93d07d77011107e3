// The searches beyond a run's own: restarts on engines of their own, and their share in slices.
#pragma once

#include "document/run/FinishedSearch.h"
#include "document/run/ModelSummary.h"
#include "document/run/RestartSlice.h"
#include "document/run/SearchPolish.h"
#include "engine/estimators/Refinement.h"
#include "engine/search/Genetico.h"
#include "model/Rnd.h"

#include <atomic>
#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace orvanel {

// Restart k draws from a random source seeded with the k-th draw of the run's own sequence, so
// that every restart follows from the run's seed alone, whichever thread or process runs it.
class RestartSearches {
public:
    using Found = SearchPolish::Found;

    // Takes a copy of the engine's settings now: the window may change them while the restarts
    // run. `seed` is the run's random source as its search began.
    RestartSearches(const TGenetico& engine, const Rnd::State& seed);

    // The settings every restart runs with.
    const TGenetico& Settings() const { return settings; }
    // Restart k on its own engine, on the calling thread, polished by `polish`; its random
    // source is left as it was. A search that fails throws; one stopped finds nothing.
    std::optional<Found> Restart(int k, const SearchPolish& polish,
                                 const std::atomic<bool>& stop) const;

    // Hands `target` the rows, the output last, and their experiments.
    static void HandRows(const ModelSummary::Data& rows, TGenetico& target);
    // The indices of `searches` the slice runs: all of them with a slice of one.
    static std::vector<std::size_t> SliceIndices(RestartSlice slice, std::size_t searches);
    // The searches `indices` as they travel between processes, found[k] the model of search k
    // scored by `polish`, those a stop left unrun without a model; `seed` as for the
    // constructor. The calling thread's random source is left as it was.
    static std::vector<FinishedSearch> Finished(const std::vector<std::size_t>& indices,
                                                const std::vector<std::optional<Found>>& found,
                                                const Rnd::State& seed, const SearchPolish& polish);
    // The first search, of those `searches` brought, whose model does not give on the rows of
    // `refinement` the squared error it came with; nothing when all do.
    static std::optional<std::string> ForeignModel(const std::vector<FinishedSearch>& searches,
                                                   const Refinement& refinement);
    // Rethrows the first of the searches' failures, a restart's as "Search k of N failed: ...".
    static void RethrowFirst(const std::vector<std::exception_ptr>& failures);
    // How many of the first `count` searches found a model.
    static int Completed(const std::vector<std::optional<Found>>& found, std::size_t count);
    // The searches of every slice as the run in one process found them, by index.
    static std::vector<std::optional<Found>> FoundOf(const std::vector<FinishedSearch>& searches);

private:
    std::optional<Found> Search(int k, const SearchPolish& polish,
                                const std::atomic<bool>& stop) const;

    TGenetico settings;
    Rnd::State seed;
};

} // namespace orvanel
