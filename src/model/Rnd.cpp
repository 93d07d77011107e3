#include "model/Rnd.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace orvanel::Rnd {
namespace {

constexpr int TableSize = 55;
constexpr int ShortLag = 24;

using Pair = double __attribute__((vector_size(16)));

// Renews entries [from, to) from the entries `offset` away, none of which lies in the range
// itself: the entries are independent, so two are renewed at once, each as the one-at-a-time
// loop would, and without a branch that chance would mispredict half the time.
void Renew(State& s, int from, int to, int offset) {
    double* const table = s.RandomTable.data();
    int i = from;
    for (; i + 2 <= to; i += 2) {
        Pair a;
        Pair b;
        std::memcpy(&a, table + i, sizeof a);
        std::memcpy(&b, table + i + offset, sizeof b);
        Pair t = a - b;
        t = t < 0 ? t + 1 : t;
        std::memcpy(table + i, &t, sizeof t);
    }
    for (; i < to; ++i) {
        const double t = table[i] - table[i + offset];
        table[i] = t < 0 ? t + 1 : t;
    }
}

void AdvanceRandom(State& s) {
    // Entries 1..24 read 32..55, not yet renewed; 25..48 read the renewed 1..24; 49..55 read
    // the renewed 25..31.
    Renew(s, 1, ShortLag + 1, TableSize - ShortLag);
    Renew(s, ShortLag + 1, 2 * ShortLag + 1, -ShortLag);
    Renew(s, 2 * ShortLag + 1, TableSize + 1, -ShortLag);
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

void Flips(double p, int count, std::vector<int>& hits) {
    hits.clear();
    if (p == 1.0) {
        for (int i = 0; i < count; ++i)
            hits.push_back(i);
        return;
    }
    State& s = GlobalState();
    for (int i = 0; i < count;) {
        if (s.RandomIndex >= TableSize) {
            s.RandomIndex = 0;
            AdvanceRandom(s);
        }
        const int take = std::min(count - i, TableSize - s.RandomIndex);
        const double* drawn = s.RandomTable.data() + s.RandomIndex + 1;
        for (int k = 0; k < take; ++k)
            if (drawn[k] <= p)
                hits.push_back(i + k);
        s.RandomIndex += take;
        i += take;
    }
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
