#include "cli/ProgressDisplay.h"

#include "engine/Genetico.h"

#include <algorithm>

namespace orvanel {
namespace {

constexpr int BarWidth = 30;
constexpr int ReportsPerRun = 10;

} // namespace

ProgressDisplay::ProgressDisplay(std::FILE* stream, bool terminal)
    : stream(stream), terminal(terminal) {}

void ProgressDisplay::Update(const TGenetico& engine) {
    const int total = std::max(engine.Generations, 1);
    const int done = std::clamp(engine.Generation(), 0, total);
    const char* status = engine.Evolving() ? "Executing..." : "Initializing population...";
    if (!terminal) {
        const int step = std::max(total / ReportsPerRun, 1);
        if (engine.Evolving() && done / step != lastReported) {
            lastReported = done / step;
            std::fprintf(stream, "Generation %d of %d\n", done, engine.Generations);
        }
        return;
    }
    const int filled = FilledCells(done, total);
    std::string text = "\r" + std::string(status) + " [" + std::string(filled, '#') +
                       std::string(BarWidth - filled, '.') + "] " + std::to_string(done) + "/" +
                       std::to_string(engine.Generations);
    if (text == shown)
        return;
    // Pad over the rest of a longer previous text.
    if (text.size() < shown.size())
        text += std::string(shown.size() - text.size(), ' ');
    shown = text;
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

int ProgressDisplay::FilledCells(int done, int total) {
    // done * BarWidth passes the int range from 71,582,789 generations on.
    return static_cast<int>(static_cast<long long>(done) * BarWidth / total);
}

void ProgressDisplay::Finish() {
    if (terminal && !shown.empty())
        std::fputs("\n", stream);
    shown.clear();
}

} // namespace orvanel
