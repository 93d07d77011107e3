// orvanel-make-example: writes the example data set generated from a known two-input model.
#include "cli/ExampleData.h"

#include <cstdio>
#include <fstream>

namespace {

constexpr int ExampleSamples = 1000;
constexpr std::uint32_t ExampleSeed = 20261207;

bool Write(const char* path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file)
        std::fprintf(stderr, "orvanel-make-example: cannot write %s\n", path);
    return static_cast<bool>(file);
}

} // namespace

// The example in the program's own format and, when a second file is named, the same samples
// as a plant historian's CSV export.
int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fputs("Usage: orvanel-make-example OUTPUT.txt [HISTORIAN.csv]\n", stderr);
        return 2;
    }
    const auto rows = orvanel::ExampleData::TwoInputs(ExampleSamples, ExampleSeed);
    if (!Write(argv[1], orvanel::ExampleData::DocumentText(rows)))
        return 1;
    if (argc == 3 && !Write(argv[2], orvanel::ExampleData::HistorianText(rows)))
        return 1;
    return 0;
}
