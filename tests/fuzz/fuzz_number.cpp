// Reads arbitrary bytes as number text, and writes doubles built from the bytes, checking that
// the reader never yields a non-finite value and that every written text is well formed and
// reads back as the rounded value.
#include "model/NumberText.h"
#include "support/NumberTextOracle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

using namespace orvanel;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string SwapSeparators(std::string_view text) {
    std::string swapped(text);
    for (char& c : swapped)
        c = c == '.' ? ',' : c == ',' ? '.' : c;
    return swapped;
}

void CheckReading(std::string_view text) {
    const auto withPoint = ParseNumber(text, '.');
    if (withPoint) {
        Require(std::isfinite(*withPoint));
        Require(std::all_of(text.begin(), text.end(), [](char c) {
            return oracle::IsDigit(c) || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E';
        }));
    }
    const auto withComma = ParseNumber(SwapSeparators(text), ',');
    Require(withPoint.has_value() == withComma.has_value());
    if (withPoint)
        Require(SameBits(*withPoint, *withComma));
}

void CheckWriting(double value, int digits) {
    const std::string text = FormatGeneral(value, digits);
    if (!std::isfinite(value)) {
        Require(text == (std::isnan(value) ? "NAN" : value < 0 ? "-INF" : "INF"));
        return;
    }
    Require(oracle::IsGeneralNumberText(text, digits, '.'));
    Require(FormatGeneral(value, digits, ',') == SwapSeparators(text));
    const auto parsed = ParseNumber(text);
    Require(parsed.has_value() && std::isfinite(*parsed));

    if (std::fabs(value) <= oracle::kLargestRoundTrip15)
        Require(ParseNumber(FormatGeneral(value, 15)) == oracle::RoundedTo15(value));
    // Seventeen digits identify every double.
    Require(ParseNumber(FormatGeneral(value, 17)) == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckReading(std::string_view(reinterpret_cast<const char*>(data), size));

    // Each 9-byte block is a double and a digit count.
    constexpr std::size_t kBlock = sizeof(double) + 1;
    for (std::size_t offset = 0; offset + kBlock <= size; offset += kBlock) {
        double value = 0;
        std::memcpy(&value, data + offset, sizeof value);
        CheckWriting(value, 1 + data[offset + sizeof value] % 17);
    }
    return 0;
}
