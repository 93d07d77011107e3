#include "document/run/RunProgress.h"

#include "document/run/RestartSearches.h"

#include <algorithm>
#include <cstddef>

namespace orvanel {

// A hold-out whose threads could not start left Choosing set: a new run must not show it.
void RunProgress::Begin() {
    LastGeneration = -1;
    Concluding = false;
    Choosing = false;
    SearchesDone = 0;
    Simplifying = false;
    CompletedSearches = 0;
    stoppedIn = StopPhase::None;
}

void RunProgress::NoteStop(StopPhase phase) {
    if (stoppedIn == StopPhase::None)
        stoppedIn = phase;
}

RunProgress::PhaseProgress RunProgress::Progress(int restarts, RestartSlice slice) const {
    if (Choosing)
        return {"Choosing the model on held-out rows", 0, 0};
    if (!Concluding)
        return {};
    if (restarts > 1 && slice.Count > 1)
        return SliceProgress(slice, restarts, SearchesDone);
    if (restarts > 1) {
        const int done = std::min<int>(SearchesDone, restarts);
        return {"Restart " + std::to_string(std::min(done + 1, restarts)) + " of " +
                    std::to_string(restarts),
                done, restarts};
    }
    return {Simplifying ? "Simplifying the model" : "Refining the model", 0, 0};
}

// A slice's searches by their own numbers, as its part names them: "Search 5 of 16 (slice 1
// of 4: 2 of 4)".
RunProgress::PhaseProgress RunProgress::SliceProgress(RestartSlice slice, int restarts, int done) {
    const std::vector<std::size_t> mine =
        RestartSearches::SliceIndices(slice, static_cast<std::size_t>(restarts));
    if (mine.empty())
        return {};
    const int count = static_cast<int>(mine.size());
    const int finished = std::min<int>(done, count);
    const std::size_t running = mine[static_cast<std::size_t>(std::min(finished, count - 1))];
    return {"Search " + std::to_string(running) + " of " + std::to_string(restarts) + " (slice " +
                std::to_string(slice.Index) + " of " + std::to_string(slice.Count) + ": " +
                std::to_string(std::min(finished + 1, count)) + " of " + std::to_string(count) +
                ")",
            finished, count};
}

std::vector<std::string> RunProgress::StopLines(int generations, int restarts,
                                                int keptSearch) const {
    switch (stoppedIn) {
    case StopPhase::None:
        return {};
    case StopPhase::Search:
        if (!HasModel())
            return {"RUN STOPPED", "Stopped before the first generation was complete."};
        return {"RUN STOPPED", "Stopped at generation " + std::to_string(LastGeneration) + " of " +
                                   std::to_string(generations) + "."};
    case StopPhase::Restarts:
        return {"RUN STOPPED", "Stopped during the restarts: " + std::to_string(CompletedSearches) +
                                   " of " + std::to_string(restarts) +
                                   " searches completed, the model of search " +
                                   std::to_string(keptSearch) + " kept."};
    case StopPhase::HoldOut:
        return {"RUN STOPPED", "Stopped while choosing the model on held-out rows: the model of "
                               "search " +
                                   std::to_string(keptSearch) + ", the best by its score, kept."};
    case StopPhase::Refinement:
        break;
    }
    return {"RUN STOPPED", "Stopped during the refinement: the model is the best found before "
                           "the stop."};
}

} // namespace orvanel
