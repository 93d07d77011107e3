// How far a run has come and where a stop ended it, for a status line and the report.
#pragma once

#include "document/run/RestartSlice.h"

#include <atomic>
#include <string>
#include <vector>

namespace orvanel {

// The phases after the search set the flags and counts while they run; Progress may read them
// meanwhile from another thread.
class RunProgress {
public:
    // The phase of the run a stop asked of the engine ended.
    enum class StopPhase { None, Search, Restarts, HoldOut, Refinement };

    // What runs after the search and how far it is, for a status line: "Restart 2 of 4" with
    // the searches done of all (in a slice "Search 5 of 16 (slice 1 of 4: 2 of 4)", with its
    // own searches done of its own), "Refining the model", "Simplifying the model" or "Choosing
    // the model on held-out rows" (Done and Total 0: no measure). Empty Text while the search
    // itself runs.
    struct PhaseProgress {
        std::string Text;
        int Done = 0;
        int Total = 0;
    };

    // Forgets an earlier run's progress and stop, as a new report begins.
    void Begin();
    // Notes that a stop ended `phase`, unless one ended an earlier phase.
    void NoteStop(StopPhase phase);
    StopPhase Stopped() const { return stoppedIn; }
    // Whether the search completed a generation.
    bool HasModel() const { return LastGeneration >= 0; }

    // The progress of a run of `restarts` searches of which `slice` is this process's share.
    PhaseProgress Progress(int restarts, RestartSlice slice) const;
    // The lines telling where a stopped run ended, for the report and the user; empty for a
    // run that was not stopped. `generations` is the search's, `restarts` the searches asked
    // for and `keptSearch` the search whose model was kept, 1 for the run's own.
    std::vector<std::string> StopLines(int generations, int restarts, int keptSearch) const;

    // The generation of the last report row written, -1 before the first.
    int LastGeneration = -1;
    // The searches that completed, once the restarts are over.
    int CompletedSearches = 0;
    std::atomic<bool> Concluding{false};
    std::atomic<int> SearchesDone{0};
    std::atomic<bool> Choosing{false};
    std::atomic<bool> Simplifying{false};

private:
    static PhaseProgress SliceProgress(RestartSlice slice, int restarts, int done);

    StopPhase stoppedIn = StopPhase::None;
};

} // namespace orvanel
