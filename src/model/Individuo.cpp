#include "model/Individuo.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace orvanel {
namespace {

constexpr int MantissaBits = 23;
constexpr int ExponentBits = 8;
constexpr int MantissaField = 0;
constexpr int ExponentField = MantissaField + MantissaBits;
constexpr int SignField = ExponentField + ExponentBits;
constexpr int ValueBits = SignField + 1;
constexpr int ExponentBias = 127;
constexpr int MaxExponent = 255;
constexpr std::uint32_t MaxMantissa = (1u << MantissaBits) - 1;
constexpr double MantissaLimit = 8388608.0; // 2^23

struct MagnitudeCode {
    std::uint32_t mantissa;
    std::uint32_t exponent;
};

// The mantissa digits as a fraction: divided by ten until it is at most 1.
double MantissaFraction(std::uint32_t mantissa) {
    double d = mantissa;
    while (std::fabs(d) > 1.0)
        d = d / 10;
    return d;
}

// Scales a fraction in (0, 1] up to the largest power-of-ten multiple below 2^23.
std::uint32_t MantissaDigits(double fraction) {
    while (fraction * 10 < MantissaLimit)
        fraction = fraction * 10;
    const double rounded = std::nearbyint(fraction);
    return rounded > MaxMantissa ? MaxMantissa : static_cast<std::uint32_t>(rounded);
}

MagnitudeCode EncodeMagnitude(double x) {
    if (!(x > 0.0))
        return {0, 0};
    if (x > std::ldexp(1.0, MaxExponent - ExponentBias + 1))
        return {1000000, MaxExponent}; // fraction 1.0: (1 + 1) x 2^128
    if (x < std::ldexp(1.0, -ExponentBias))
        return {0, 0};
    int exponent = ExponentBias;
    if (x >= 2.0) {
        while (x > 2.0) {
            x = x / 2;
            ++exponent;
        }
    } else {
        while (x < 1.0) {
            x = x * 2;
            --exponent;
        }
    }
    const double fraction = x - 1.0;
    const std::uint32_t mantissa = fraction == 0.0 ? 0 : MantissaDigits(fraction);
    return {mantissa, static_cast<std::uint32_t>(exponent)};
}

} // namespace

TIndividuo::TIndividuo() : bits(static_cast<std::size_t>(bitsPerGene), 0) {}

void TIndividuo::SetBitsPerGene(int n) {
    bitsPerGene = n;
    bits.assign(static_cast<std::size_t>(geneCount) * static_cast<std::size_t>(n), 0);
}

void TIndividuo::SetGeneCount(int n) {
    if (n == geneCount)
        return;
    const int count = n < 0 ? 0 : n;
    if (count > INT_MAX / bitsPerGene)
        throw std::length_error("GeneCount too large for the bit string");
    geneCount = count;
    bits.assign(static_cast<std::size_t>(count) * static_cast<std::size_t>(bitsPerGene), 0);
}

std::uint8_t TIndividuo::Bit(int i) const {
    if (i < 0 || i >= BitCount())
        throw std::out_of_range("Bit index outside the chromosome");
    return bits[static_cast<std::size_t>(i)];
}

void TIndividuo::SetBit(int i, std::uint8_t v) {
    if (i < 0 || i >= BitCount())
        throw std::out_of_range("Bit index outside the chromosome");
    bits[static_cast<std::size_t>(i)] = v != 0 ? 1 : 0;
}

void TIndividuo::CopyBits(const TIndividuo& source, int first, int last, int at) {
    if (first < 0 || last < first || last > source.BitCount() || at < 0 ||
        at > BitCount() - (last - first))
        throw std::out_of_range("Bit range outside the chromosome");
    std::copy(source.bits.begin() + first, source.bits.begin() + last, bits.begin() + at);
}

double TIndividuo::GeneValue(int g) const {
    const std::size_t start = GeneStart(g);
    const double d = MantissaFraction(ReadField(start + MantissaField, MantissaBits));
    const int exponent = static_cast<int>(ReadField(start + ExponentField, ExponentBits));
    // Powers of two are exact, so scaling at once equals repeated doubling or halving.
    const double value =
        exponent != 0 ? std::ldexp(1.0 + d, exponent - ExponentBias) : std::ldexp(d, -ExponentBias);
    return ReadField(start + SignField, 1) != 0 ? -value : value;
}

void TIndividuo::SetGeneValue(int g, double x) {
    const std::size_t start = GeneStart(g);
    std::uint32_t sign = 0;
    if (x < 0) {
        sign = 1;
        x = -x;
    }
    const MagnitudeCode code = EncodeMagnitude(x);
    WriteField(start + MantissaField, MantissaBits, code.mantissa);
    WriteField(start + ExponentField, ExponentBits, code.exponent);
    WriteField(start + SignField, 1, sign);
}

void TIndividuo::CopyChromosome(const TIndividuo& source) {
    geneCount = source.geneCount;
    bitsPerGene = source.bitsPerGene;
    bits = source.bits;
}

std::size_t TIndividuo::GeneStart(int g) const {
    if (g < 0 || g >= geneCount || bitsPerGene < ValueBits)
        throw std::out_of_range("Gene index outside the chromosome");
    return static_cast<std::size_t>(g) * static_cast<std::size_t>(bitsPerGene);
}

std::uint32_t TIndividuo::ReadField(std::size_t first, int width) const {
    std::uint32_t value = 0;
    for (int k = 0; k < width; ++k)
        value |= static_cast<std::uint32_t>(bits[first + static_cast<std::size_t>(k)]) << k;
    return value;
}

void TIndividuo::WriteField(std::size_t first, int width, std::uint32_t value) {
    for (int k = 0; k < width; ++k)
        bits[first + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>((value >> k) & 1u);
}

} // namespace orvanel
