// Arbitrary chromosomes and samples: decoding, simulating and the step response never fail
// unsafely, and a one-input model's output is its transfer function's simulation.
#include "model/MISOFunTrans.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace orvanel;

namespace {

constexpr std::size_t MaxGenes = 16;
constexpr std::size_t MaxSamples = 64;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const auto genes = static_cast<int>(data[0] % (MaxGenes + 1));
    const std::size_t samples = data[1] % (MaxSamples + 1);
    data += 2;
    size -= 2;

    TMISOFunTrans model;
    TFunTrans& f = model.Functions()[0];
    f.SetGeneCount(genes);
    for (int i = 0; i < f.BitCount() && static_cast<std::size_t>(i / 8) < size; ++i)
        f.SetBit(i, static_cast<std::uint8_t>((data[i / 8] >> (i % 8)) & 1));
    const std::size_t used = std::min(size, static_cast<std::size_t>(f.BitCount() + 7) / 8);
    data += used;
    size -= used;
    for (std::size_t k = 0; k < samples && size >= 2 * sizeof(double); ++k) {
        double input = 0;
        double output = 0;
        std::memcpy(&input, data, sizeof input);
        std::memcpy(&output, data + sizeof input, sizeof output);
        f.AddSample(input, output);
        data += 2 * sizeof(double);
        size -= 2 * sizeof(double);
    }

    TFunTrans alone = f;
    alone.Evaluate();
    model.Evaluate();
    Check(alone.SimOutput.size() == f.Outputs().size());
    Check(f.Error == alone.Error);
    if (model.Error < TFunTrans::FailedError) {
        for (std::size_t j = 0; j < alone.SimOutput.size(); ++j)
            Check(model.Output()[j] == 0.0 + alone.SimOutput[j]);
    }
    alone.StepResponse();
    Check(alone.StepLength == 3 || (alone.StepLength >= 10 && alone.StepLength <= 141));
    return 0;
}
