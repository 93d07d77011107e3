// Progress of a run on standard error.
#pragma once

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
    // Ends the bar's line.
    void Finish();

    // How many of the bar's cells show `done` generations of `total` (1 or more); exact for any
    // int counts.
    static int FilledCells(int done, int total);

private:
    std::FILE* stream;
    bool terminal;
    std::string shown;
    int lastReported = -1;
};

} // namespace orvanel
