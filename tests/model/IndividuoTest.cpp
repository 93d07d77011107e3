#include "model/Individuo.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>

using namespace orvanel;

namespace {

// A chromosome whose genes carry three more bits after the value, as transfer functions do.
class WideChromosome : public TIndividuo {
public:
    WideChromosome() { SetBitsPerGene(35); }
};

std::uint32_t Field(const TIndividuo& c, int first, int width) {
    std::uint32_t value = 0;
    for (int k = 0; k < width; ++k)
        value |= static_cast<std::uint32_t>(c.Bit(first + k)) << k;
    return value;
}

void WriteField(TIndividuo& c, int first, int width, std::uint32_t value) {
    for (int k = 0; k < width; ++k)
        c.SetBit(first + k, static_cast<std::uint8_t>((value >> k) & 1u));
}

struct Code {
    std::uint32_t mantissa, exponent, sign;
};

Code Encoded(double x) {
    TIndividuo c;
    c.SetGeneValue(0, x);
    return {Field(c, 0, 23), Field(c, 23, 8), Field(c, 31, 1)};
}

double Decoded(Code code) {
    TIndividuo c;
    WriteField(c, 0, 23, code.mantissa);
    WriteField(c, 23, 8, code.exponent);
    WriteField(c, 31, 1, code.sign);
    return c.GeneValue(0);
}

double RoundTrip(double x) {
    TIndividuo c;
    c.SetGeneValue(0, x);
    return c.GeneValue(0);
}

TEST(IndividuoTest, GeneCountClearsBitsOnlyWhenItChanges) {
    TIndividuo c;
    EXPECT_EQ(c.GeneCount(), 1);
    EXPECT_EQ(c.BitCount(), 32);
    EXPECT_EQ(c.GeneValue(0), 0.0);

    c.SetGeneCount(3);
    c.SetBit(70, 1);
    c.SetGeneCount(3);
    EXPECT_EQ(c.Bit(70), 1);
    c.SetGeneCount(2);
    EXPECT_EQ(c.BitCount(), 64);
    EXPECT_EQ(c.Bits(), std::vector<std::uint8_t>(64, 0));
    c.SetGeneCount(-4);
    EXPECT_EQ(c.GeneCount(), 0);
    EXPECT_EQ(c.BitCount(), 0);
    EXPECT_THROW(c.GeneValue(0), std::out_of_range);
}

TEST(IndividuoTest, BitAccessIsCheckedAndStoresZeroOrOne) {
    TIndividuo c;
    c.SetBit(31, 7);
    EXPECT_EQ(c.Bit(31), 1);
    EXPECT_THROW(c.Bit(32), std::out_of_range);
    EXPECT_THROW(c.SetBit(-1, 1), std::out_of_range);

    TIndividuo copy;
    copy.CopyBits(c, 30, 32, 4);
    EXPECT_EQ(copy.Bit(4), 0);
    EXPECT_EQ(copy.Bit(5), 1);
    const std::vector<std::uint8_t> before = copy.Bits();
    EXPECT_THROW(copy.CopyBits(c, 30, 33, 0), std::out_of_range);
    EXPECT_THROW(copy.CopyBits(c, 28, 32, 29), std::out_of_range);
    EXPECT_EQ(copy.Bits(), before);
}

TEST(IndividuoTest, DecodingReadsTheMantissaAsDecimalDigits) {
    EXPECT_DOUBLE_EQ(Decoded({1234567, 127, 0}), 1.1234567);
    EXPECT_DOUBLE_EQ(Decoded({1234567, 128, 0}), 2.2469134);
    EXPECT_DOUBLE_EQ(Decoded({1234567, 127, 1}), -1.1234567);
    // 10, 1 and 1000000 all read as the fraction 1.0.
    EXPECT_EQ(Decoded({10, 127, 0}), 2.0);
    EXPECT_EQ(Decoded({1, 127, 0}), 2.0);
    EXPECT_EQ(Decoded({1000000, 127, 0}), 2.0);
    // Exponent 0 has no leading 1.
    EXPECT_EQ(Decoded({5000000, 0, 0}), std::ldexp(0.5, -127));
    EXPECT_EQ(Decoded({8388607, 255, 0}), std::ldexp(1.8388607, 128));
}

TEST(IndividuoTest, EncodingKeepsTheFractionDigitsButNotTheirScale) {
    EXPECT_EQ(Encoded(-0.75).sign, 1u);
    EXPECT_EQ(Encoded(-0.75).exponent, 126u);
    EXPECT_EQ(Encoded(-0.75).mantissa, 5000000u);
    EXPECT_EQ(RoundTrip(-0.75), -0.75);
    EXPECT_EQ(RoundTrip(1.5), 1.5);
    EXPECT_EQ(RoundTrip(1.05), 1.5);
    EXPECT_EQ(RoundTrip(1.1), 2.0);
    EXPECT_EQ(Encoded(3.0).exponent, 128u);
    EXPECT_EQ(Encoded(3.0).mantissa, 5000000u);
}

TEST(IndividuoTest, EncodingEndsForZeroAndPowersOfTwo) {
    EXPECT_EQ(Encoded(0.0).mantissa + Encoded(0.0).exponent + Encoded(0.0).sign, 0u);
    EXPECT_EQ(Encoded(1.0).mantissa, 0u);
    EXPECT_EQ(Encoded(1.0).exponent, 127u);
    EXPECT_EQ(RoundTrip(0.25), 0.25);
    EXPECT_EQ(RoundTrip(-1024.0), -1024.0);
    // 2 keeps x = 2.0, whose fraction 1.0 is written as 1000000.
    EXPECT_EQ(Encoded(2.0).exponent, 127u);
    EXPECT_EQ(Encoded(2.0).mantissa, 1000000u);
    EXPECT_EQ(RoundTrip(std::ldexp(1.0, 63)), std::ldexp(1.0, 63));
}

TEST(IndividuoTest, MagnitudesOutsideTheCodeSaturateOrVanish) {
    const double largest = std::ldexp(1.0, 129);
    EXPECT_EQ(RoundTrip(largest), largest);
    EXPECT_EQ(RoundTrip(1e300), largest);
    EXPECT_EQ(RoundTrip(-std::numeric_limits<double>::infinity()), -largest);
    EXPECT_EQ(RoundTrip(1e-50), 0.0);
    EXPECT_TRUE(std::signbit(RoundTrip(-1e-50)));
    EXPECT_EQ(RoundTrip(std::numeric_limits<double>::quiet_NaN()), 0.0);
    // The scaled fraction 8388607.8 rounds to 2^23; it saturates instead of wrapping to 0.
    EXPECT_EQ(Encoded(1.83886078).mantissa, 8388607u);
}

TEST(IndividuoTest, ValueLeavesTheRestOfTheChromosomeAlone) {
    WideChromosome c;
    c.SetGeneCount(2);
    for (int i = 0; i < c.BitCount(); ++i)
        c.SetBit(i, 1);
    c.SetGeneValue(1, 0.75);
    EXPECT_EQ(c.GeneValue(1), 0.75);
    EXPECT_EQ(Field(c, 35 + 32, 3), 7u);
    EXPECT_EQ(Field(c, 0, 32), 0xFFFFFFFFu);
    EXPECT_EQ(Field(c, 32, 3), 7u);

    TIndividuo copy;
    copy.CopyChromosome(c);
    EXPECT_EQ(copy.BitsPerGene(), 35);
    EXPECT_EQ(copy.GeneCount(), 2);
    EXPECT_EQ(copy.Bits(), c.Bits());
}

} // namespace
