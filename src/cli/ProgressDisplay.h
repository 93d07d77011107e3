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

private:
    std::FILE* stream;
    bool terminal;
    std::string shown;
    int lastReported = -1;
};

} // namespace orvanel
