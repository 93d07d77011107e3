// Cost of the number text: table cells (15 digits), coefficients (3 digits), exact ties, reading.
#include "model/NumberText.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Values like those of a data table: a few thousand doubles spread over many magnitudes.
std::vector<double> TableValues() {
    std::vector<double> values;
    std::uint64_t state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        const double unit = static_cast<double>(state >> 11) * 0x1p-53;
        values.push_back((unit - 0.5) * static_cast<double>(1 << (i % 20)));
    }
    return values;
}

void FormatTable(benchmark::State& state) {
    const int digits = static_cast<int>(state.range(0));
    const std::vector<double> values = TableValues();
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(orvanel::FormatGeneral(values[next], digits));
        next = (next + 1) % values.size();
    }
}
BENCHMARK(FormatTable)->Arg(3)->Arg(15);

// An exact tie needs the whole decimal expansion: 0.125 to 2 digits, 2^-25 to 17.
void FormatExactTie(benchmark::State& state) {
    const bool longTie = state.range(0) == 1;
    const double value = longTie ? 0x1p-25 : 0.125;
    const int digits = longTie ? 17 : 2;
    for (auto _ : state)
        benchmark::DoNotOptimize(orvanel::FormatGeneral(value, digits));
}
BENCHMARK(FormatExactTie)->Arg(0)->Arg(1);

void ParseTable(benchmark::State& state) {
    std::vector<std::string> texts;
    for (double value : TableValues())
        texts.push_back(orvanel::FormatGeneral(value, 15));
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(orvanel::ParseNumber(texts[next]));
        next = (next + 1) % texts.size();
    }
}
BENCHMARK(ParseTable);

} // namespace
