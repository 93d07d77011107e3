#include "model/Rnd.h"

#include <chrono>

namespace orvanel::Rnd {
namespace {

constexpr int TableSize = 55;
constexpr int ShortLag = 24;

void AdvanceRandom(State& s) {
    // The second loop reads entries the first has already renewed.
    for (int i = 1; i <= ShortLag; ++i) {
        double t = s.RandomTable[i] - s.RandomTable[i + TableSize - ShortLag];
        if (t < 0)
            t = t + 1;
        s.RandomTable[i] = t;
    }
    for (int i = ShortLag + 1; i <= TableSize; ++i) {
        double t = s.RandomTable[i] - s.RandomTable[i - ShortLag];
        if (t < 0)
            t = t + 1;
        s.RandomTable[i] = t;
    }
}

} // namespace

// One state per thread: a thread that runs a search of its own draws from its own sequence.
State& GlobalState() {
    thread_local State state;
    return state;
}

void SeedRandom(double seed) {
    State& s = GlobalState();
    s.RandomTable[TableSize] = seed;
    double next = 1e-9;
    double prev = seed;
    for (int j = 1; j < TableSize; ++j) {
        const int ii = (21 * j) % TableSize;
        s.RandomTable[ii] = next;
        double t = prev - next;
        if (t < 0)
            t = t + 1;
        prev = s.RandomTable[ii];
        next = t;
    }
    AdvanceRandom(s);
    AdvanceRandom(s);
    AdvanceRandom(s);
    s.RandomIndex = 0;
}

double RandomReal() {
    State& s = GlobalState();
    ++s.RandomIndex;
    if (s.RandomIndex > TableSize) {
        s.RandomIndex = 1;
        AdvanceRandom(s);
    }
    return s.RandomTable[s.RandomIndex];
}

bool Flip(double p) {
    if (p == 1.0)
        return true;
    return RandomReal() <= p;
}

double SystemRandom() {
    State& s = GlobalState();
    s.SystemSeed = s.SystemSeed * 134775813u + 1u;
    return static_cast<double>(s.SystemSeed) / 4294967296.0;
}

int RandomInt(int low, int high) {
    if (high <= low)
        return low;
    const double span = static_cast<double>(high) - static_cast<double>(low) + 1.0;
    const auto r = static_cast<long long>(SystemRandom() * span + static_cast<double>(low));
    return r > high ? high : static_cast<int>(r);
}

double SeedFromMilliseconds(int milliseconds) {
    double x = milliseconds;
    while (x > 1.0)
        x = x / 10;
    return x;
}

int CurrentMilliseconds() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count() %
                            1000);
}

} // namespace orvanel::Rnd
