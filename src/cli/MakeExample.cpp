// orvanel-make-example: writes the example data set generated from a known two-input model.
#include "cli/ExampleData.h"

#include <cstdio>
#include <fstream>

namespace {

constexpr int ExampleSamples = 1000;
constexpr std::uint32_t ExampleSeed = 20261207;

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: orvanel-make-example OUTPUT.txt\n", stderr);
        return 2;
    }
    const std::string text = orvanel::ExampleData::DocumentText(
        orvanel::ExampleData::TwoInputs(ExampleSamples, ExampleSeed));
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "orvanel-make-example: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
