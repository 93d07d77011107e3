// Progress of a run on standard error.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace orvanel {

class TGenetico;

// On a terminal a bar redrawn in place; elsewhere a line at every tenth of the generations.
class ProgressDisplay {
public:
    ProgressDisplay(std::FILE* stream, bool terminal);

    // Shows the engine's state; cheap when nothing visible changed.
    void Update(const TGenetico& engine);
    // What runs after the search ("Restart 2 of 4", with `done` of `total` for the bar, or
    // total 0 for none) on the bar's line; elsewhere a line whenever it changes. Nothing for
    // an empty phase.
    void ShowPhase(const std::string& phase, int done, int total);
    // Ends the bar's line.
    void Finish();

    // How many of the bar's cells show `done` generations of `total` (1 or more); exact for any
    // int counts.
    static int FilledCells(int done, int total);

private:
    // Redraws the bar's line with `text`, padded over a longer previous one.
    void Redraw(std::string text);

    std::FILE* stream;
    bool terminal;
    std::string shown;
    std::size_t shownWidth = 0;
    std::string shownPhase;
    int lastReported = -1;
};

} // namespace orvanel
