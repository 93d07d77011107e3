// The program's one source of chance: a subtractive lagged-Fibonacci generator for reals
// and a 32-bit linear congruential generator for integers, one per thread.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace orvanel::Rnd {

// The whole generator state. Positions 1..55 of RandomTable are used; entry 0 is unused so
// that the indices read as the lags are defined.
struct State {
    std::array<double, 56> RandomTable{};
    int RandomIndex = 0;
    std::uint32_t SystemSeed = 0;
};

// The state of the calling thread. Only the thread that runs a search draws; evaluations never
// do.
State& GlobalState();

// Restarts the main sequence from seed (0 <= seed <= 1). SystemSeed is not touched.
void SeedRandom(double seed);

// Next value of the main generator, in [0, 1).
double RandomReal();

// True with probability p; p == 1.0 answers true without drawing.
bool Flip(double p);

// Draws as count calls of Flip(p) would, in their order, and lists the calls (from 0) that
// answered true. Mutation asks this of every bit of a chromosome.
void Flips(double p, int count, std::vector<int>& hits);

// Uniform integer in [low, high] from SystemRandom; high <= low gives low without drawing.
int RandomInt(int low, int high);

// Next value of the linear congruential generator, in [0, 1).
double SystemRandom();

// The seed an engine takes from the millisecond field (0..999) of the time of day:
// divided by 10 while above 1, so 537 gives 0.537 and 100 gives 1.
double SeedFromMilliseconds(int milliseconds);

// The millisecond field of the current time of day.
int CurrentMilliseconds();

} // namespace orvanel::Rnd
