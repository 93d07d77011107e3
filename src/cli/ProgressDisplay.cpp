#include "cli/ProgressDisplay.h"

#include "engine/search/Genetico.h"

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
    Redraw("\r" + std::string(status) + " [" + std::string(filled, '#') +
           std::string(BarWidth - filled, '.') + "] " + std::to_string(done) + "/" +
           std::to_string(engine.Generations));
}

void ProgressDisplay::ShowPhase(const std::string& phase, int done, int total) {
    if (phase.empty())
        return;
    if (!terminal) {
        if (phase != shownPhase)
            std::fprintf(stream, "%s\n", phase.c_str());
        shownPhase = phase;
        return;
    }
    std::string text = "\rExecuting... " + phase;
    if (total > 0) {
        const int filled = FilledCells(std::clamp(done, 0, total), total);
        text += " [" + std::string(filled, '#') + std::string(BarWidth - filled, '.') + "]";
    }
    Redraw(std::move(text));
}

void ProgressDisplay::Redraw(std::string text) {
    if (text == shown)
        return;
    // Pad over the rest of a longer previous line.
    std::string line = text;
    if (line.size() < shownWidth)
        line += std::string(shownWidth - line.size(), ' ');
    shown = std::move(text);
    shownWidth = line.size();
    std::fputs(line.c_str(), stream);
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
    shownWidth = 0;
}

} // namespace orvanel
