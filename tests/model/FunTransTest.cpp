#include "model/FunTrans.h"

#include "support/SameFunction.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace orvanel;

namespace {

using Column = std::vector<double>;

struct Gene {
    int type;
    double value = 0.0;
};

enum { Zero, Pole, ZeroPair, PolePair, DelayGene, GainGene, Off };

TFunTrans WithGenes(const std::vector<Gene>& genes) {
    TFunTrans f;
    f.SetGeneCount(static_cast<int>(genes.size()));
    for (int g = 0; g < static_cast<int>(genes.size()); ++g) {
        f.SetGeneValue(g, genes[static_cast<std::size_t>(g)].value);
        f.SetGeneType(g, genes[static_cast<std::size_t>(g)].type);
    }
    return f;
}

TFunTrans Decoded(const std::vector<Gene>& genes) {
    TFunTrans f = WithGenes(genes);
    EXPECT_TRUE(f.Decode());
    return f;
}

void AddSamples(TFunTrans& f, const Column& inputs, const Column& outputs) {
    for (std::size_t i = 0; i < inputs.size(); ++i)
        f.AddSample(inputs[i], outputs[i]);
}

// The difference equation exactly as written: every read through the accessors, input
// indices in 32-bit wrap-around arithmetic.
Column Reference(const TFunTrans& f) {
    TFunTrans copy = f;
    const auto m = static_cast<std::int32_t>(f.Numerator.size()) - 1;
    const auto n = static_cast<std::int32_t>(f.Denominator.size()) - 1;
    copy.SimOutput.assign(f.Outputs().size(), 0.0);
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(f.Outputs().size()); ++i) {
        double s = 0.0;
        for (std::int32_t j = 0; j <= m; ++j) {
            const auto k = static_cast<std::int32_t>(static_cast<std::uint32_t>(i + j - n) -
                                                     static_cast<std::uint32_t>(f.Delay));
            s = s + copy.InputSample(k) * (f.Numerator[static_cast<std::size_t>(j)] * f.Gain);
        }
        double t = 0.0;
        for (std::int32_t j = 0; j < n; ++j)
            t = t + copy.SimSample(i + j - n) * f.Denominator[static_cast<std::size_t>(j)];
        copy.SimOutput[static_cast<std::size_t>(i)] = s - t;
    }
    return copy.SimOutput;
}

TEST(FunTransTest, GeneTypesLiveInTheThreeBitsAfterTheValue) {
    TFunTrans f;
    EXPECT_EQ(f.BitCount(), 35);
    f.SetGeneCount(2);
    f.SetGeneValue(1, -0.75);
    f.SetGeneType(1, 6);
    EXPECT_EQ(f.Bit(67), 0);
    EXPECT_EQ(f.Bit(68), 1);
    EXPECT_EQ(f.Bit(69), 1);
    EXPECT_EQ(f.GeneType(1), 6);
    f.SetGeneValue(1, 0.5);
    EXPECT_EQ(f.GeneType(1), 6);
    EXPECT_THROW(f.SetGeneType(0, 8), std::out_of_range);
    EXPECT_THROW(f.GeneType(2), std::out_of_range);
}

TEST(FunTransTest, ZerosAreAdmittedOnlyBelowThePoleEstimate) {
    TFunTrans a = Decoded({{Pole, 0.5}, {Zero, 0.25}});
    EXPECT_EQ(a.Numerator, Column({1.0}));
    EXPECT_EQ(a.Denominator, Column({0.5, 1.0}));
    EXPECT_EQ(a.ParamCount, 1);

    TFunTrans b = Decoded({{Pole, 0.5}, {Pole, 0.25}, {Zero, 0.75}, {Zero, -0.5}});
    EXPECT_EQ(b.Numerator, Column({0.75, 1.0}));
    EXPECT_EQ(b.Denominator, Column({0.125, 0.75, 1.0}));
    EXPECT_EQ(b.ParamCount, 3);

    // The estimate skips the partner of the pole pair: E = 2, so the second zero is refused.
    TFunTrans c = Decoded({{PolePair, 0.5}, {Pole, 0.25}, {Zero, 0.5}, {Zero, 0.5}, {Off}, {Off}});
    EXPECT_EQ(c.Numerator, Column({0.5, 1.0}));
    EXPECT_EQ(c.Denominator, Column({0.5, 0.25, 1.0}));

    // A pole pair that cannot be applied still counts 2 in the estimate.
    TFunTrans d = Decoded({{Zero, 0.5}, {PolePair, 0.25}, {Pole, 0.75}});
    EXPECT_EQ(d.Numerator, Column({0.5, 1.0}));
    EXPECT_EQ(d.Denominator, Column({0.75, 1.0}));
    EXPECT_EQ(d.ParamCount, 2);
}

TEST(FunTransTest, PairsNeedRoomAndARefusedPairSkipsNothing) {
    TFunTrans a = Decoded(
        {{PolePair, 0.5}, {Zero, 0.25}, {ZeroPair, 0.75}, {Zero, 2.0}, {GainGene, 1.5}, {Off}});
    EXPECT_EQ(a.Numerator, Column({1.0}));
    EXPECT_EQ(a.Denominator, Column({0.5, 0.25, 1.0}));
    EXPECT_EQ(a.Gain, 1.5);
    EXPECT_EQ(a.ParamCount, 3);

    TFunTrans b = Decoded({{PolePair, 0.5}, {Zero, 0.25}, {ZeroPair, 0.75}, {GainGene, 2.0}});
    EXPECT_EQ(b.Gain, 2.0);
    EXPECT_EQ(b.ParamCount, 3);

    // G = 4: a pair may start at gene 1, not at gene 2 although gene 3 exists.
    EXPECT_EQ(Decoded({{Off}, {PolePair, 0.5}, {Off, 0.25}, {Off}}).Denominator,
              Column({0.5, 0.25, 1.0}));
    TFunTrans late = Decoded({{Off}, {Off}, {PolePair, 0.5}, {Zero, 0.25}});
    EXPECT_EQ(late.Denominator, Column({1.0}));
    EXPECT_EQ(late.Numerator, Column({0.25, 1.0}));

    TFunTrans zeros = Decoded({{PolePair, -0.25},
                               {Off, 0.5},
                               {PolePair, 0.5},
                               {Off, 1.0},
                               {ZeroPair, 0.5},
                               {Off, 0.25},
                               {Off}});
    EXPECT_EQ(zeros.Numerator, Column({0.5, 0.25, 1.0}));
    EXPECT_EQ(zeros.ParamCount, 7);
}

TEST(FunTransTest, DelayRoundsHalfToEvenAndWrapsIn32Bits) {
    const auto delayOf = [](double v) {
        TFunTrans f = Decoded({{Pole, 0.5}, {DelayGene, v}});
        return std::pair{f.Delay, f.ParamCount - 1};
    };
    EXPECT_EQ(delayOf(0.5), std::pair(0, 0));
    EXPECT_EQ(delayOf(1.5), std::pair(2, 1));
    EXPECT_EQ(delayOf(2.5), std::pair(2, 1));
    EXPECT_EQ(delayOf(-3.0), std::pair(0, 0));
    EXPECT_EQ(delayOf(std::ldexp(1.0, 32)), std::pair(0, 1));
    EXPECT_EQ(delayOf(std::ldexp(1.5, 31)), std::pair(-1073741824, 1));
    EXPECT_EQ(delayOf(-std::ldexp(1.0, 63)), std::pair(0, 0));

    TFunTrans twice = Decoded({{Pole, 0.5}, {DelayGene, 3.0}, {DelayGene, std::ldexp(1.0, 31)}});
    EXPECT_EQ(twice.Delay, INT_MIN + 3);
}

TEST(FunTransTest, ADelayBeyond64BitsFailsTheDecode) {
    for (double v : {std::ldexp(1.0, 63), -std::ldexp(1.0, 64)}) {
        TFunTrans f = WithGenes({{Pole, 0.5}, {DelayGene, v}});
        AddSamples(f, {1, 2, 3}, {0, 0, 0});
        EXPECT_FALSE(f.Decode());
        EXPECT_EQ(f.Evaluate(), 1e300);
        EXPECT_EQ(f.SimOutput, Column(3, -10.0));
        f.StepResponse();
        EXPECT_EQ(f.Step, Column(3, 0.0));
        EXPECT_EQ(f.StepLength, 3);
        EXPECT_EQ(f.StepSample(2), 0.0);
    }
}

TEST(FunTransTest, TextsJoinEveryTermWithAPlus) {
    TFunTrans f = Decoded({{Pole, 0.5}, {Pole, -0.5}, {Zero, 0.5}, {GainGene, 2.0}});
    EXPECT_EQ(f.NumText, "2\xC2\xB7z^1+1");
    EXPECT_EQ(f.DenText, "1\xC2\xB7z^2+0\xC2\xB7z^1+-0.25");

    TFunTrans delayed = Decoded({{Pole, 0.5}, {Pole, -0.5}, {DelayGene, 1.0}, {GainGene, 0.75}});
    EXPECT_EQ(delayed.NumText, "0.75");
    EXPECT_EQ(delayed.DenText, "1·z^3+0·z^2+-0.25·z^1");

    TFunTrans comma = WithGenes({{Pole, -0.5}, {GainGene, 0.75}});
    EXPECT_TRUE(comma.Decode(','));
    EXPECT_EQ(comma.NumText, "0,75");
    EXPECT_EQ(comma.DenText, "1·z^1+-0,5");
}

TEST(FunTransTest, OverflowingCoefficientsFailTheDecodeAndKeepTheTexts) {
    const double huge = std::ldexp(1.0, 129);
    TFunTrans f = Decoded({{Pole, 0.5}});
    f.SetGeneCount(9);
    for (int g = 0; g < 9; ++g) {
        f.SetGeneValue(g, huge);
        f.SetGeneType(g, Pole);
    }
    EXPECT_FALSE(f.Decode());
    EXPECT_EQ(f.DenText, "1·z^1+0.5");
    f = WithGenes(std::vector<Gene>(8, {GainGene, huge}));
    EXPECT_FALSE(f.Decode());
    // Gain 2^903 and Numerator[0] 2^129 are finite; their product for the text is not.
    std::vector<Gene> genes = {{Pole, 0.5}, {Pole, 0.5}, {Zero, huge}};
    genes.resize(10, {GainGene, huge});
    TFunTrans scaled = WithGenes(genes);
    scaled.NumText = "earlier";
    EXPECT_FALSE(scaled.Decode());
    EXPECT_EQ(scaled.Gain, std::ldexp(1.0, 903));
    EXPECT_EQ(scaled.NumText, "earlier");
}

TEST(FunTransTest, SimulationExamples) {
    TFunTrans f;
    AddSamples(f, {1, 0, 0, 0}, {0, 0, 0, 0});
    f.Denominator = {-0.5, 1.0};
    f.Simulate();
    EXPECT_EQ(f.SimOutput, Column({0, 1, 0.5, 0.25}));
    EXPECT_EQ(f.Error, 1.3125);

    f.Numerator = {0.5, 1.0};
    f.Gain = 2.0;
    f.Simulate();
    EXPECT_EQ(f.SimOutput, Column({2, 2, 1, 0.5}));

    TFunTrans delayed = WithGenes({{Pole, -0.5}, {DelayGene, 1.0}});
    AddSamples(delayed, {1, 0, 0, 0, 0}, {0, 0, 1, 0.5, 0});
    EXPECT_EQ(delayed.Evaluate(), 0.0625);
    EXPECT_EQ(delayed.SimOutput, Column({0, 0, 1, 0.5, 0.25}));
}

TEST(FunTransTest, RejectedModelsAreNotSimulated) {
    TFunTrans f = WithGenes({{Pole, -0.5}});
    AddSamples(f, {1, 0, 0}, {0, 0, 0});
    f.Evaluate();
    const Column before = f.SimOutput;

    f.Denominator = {1.0};
    f.Simulate();
    EXPECT_EQ(f.Error, 1e300);
    EXPECT_EQ(f.SimOutput, before);

    f.Denominator = {0.5, 1.0};
    f.Numerator = {0.5, 0.5, 1.0};
    f.Simulate();
    EXPECT_EQ(f.Error, 1e300);

    TFunTrans empty = WithGenes({{Pole, -0.5}});
    EXPECT_EQ(empty.Evaluate(), 0.0);
    EXPECT_TRUE(empty.SimOutput.empty());
}

TEST(FunTransTest, OverflowStopsTheSimulationAfterTheFailingSample) {
    TFunTrans f;
    AddSamples(f, {1, 0, 0, 0, 0}, {0, 0, 0, 0, 0});
    f.Denominator = {-0.5, 1.0};
    f.Simulate();
    f.Denominator = {-1e200, 1.0};
    f.Simulate();
    EXPECT_EQ(f.Error, 1e300);
    // Sample 2 is stored; its squared residual overflows, so 3 and 4 keep their old values.
    EXPECT_EQ(f.SimOutput, Column({0, 1, 1e200, 0.25, 0.125}));
}

TEST(FunTransTest, SimulationMatchesTheWrittenRecursionBitForBit) {
    Column inputs(300);
    Column outputs(300);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        inputs[i] = std::sin(0.37 * static_cast<double>(i)) + 0.1 * static_cast<double>(i % 7);
        outputs[i] = std::cos(0.11 * static_cast<double>(i));
    }
    const auto denominator = [](int n) {
        Column d(static_cast<std::size_t>(n) + 1, 1.0);
        for (int k = 0; k < n; ++k)
            d[static_cast<std::size_t>(k)] = (k % 2 == 0 ? 0.03 : -0.021) * (k + 1);
        return d;
    };
    for (int n : {1, 2, 3, 8, 9, 12}) {
        for (int m : {0, n / 2, n}) {
            for (std::int32_t delay : {0, 3, -2, -n - 5, 400, INT_MAX, INT_MIN + 1}) {
                TFunTrans f;
                AddSamples(f, inputs, outputs);
                f.Denominator = denominator(n);
                f.Numerator = Column(static_cast<std::size_t>(m) + 1, 0.7);
                f.Gain = -1.3;
                f.Delay = delay;
                f.Simulate();
                ASSERT_EQ(f.SimOutput, Reference(f)) << n << " " << m << " " << delay;
            }
        }
    }
}

TEST(FunTransTest, StepResponseStartsAtSampleTwoAndStopsWhenSettled) {
    TFunTrans f = WithGenes({{Pole, -0.5}});
    f.StepResponse();
    ASSERT_EQ(f.Step.size(), 150u);
    EXPECT_EQ(Column(f.Step.begin(), f.Step.begin() + 6), Column({0, 0, 0, 1, 1.5, 1.75}));
    EXPECT_EQ(f.StepLength, 12);
    EXPECT_EQ(f.StepSample(12), 1.998046875);

    TFunTrans negative = WithGenes({{Pole, -0.5}, {GainGene, -1.0}});
    negative.StepResponse();
    EXPECT_EQ(negative.StepLength, 141);
    EXPECT_EQ(negative.StepSample(141), -2.0);

    TFunTrans settled = WithGenes({{Pole, 0.0}});
    settled.StepResponse();
    EXPECT_EQ(settled.StepLength, 10);

    // Growing by 2^129 per sample, the response overflows at sample 11.
    TFunTrans unstable = WithGenes({{Pole, -std::ldexp(1.0, 129)}});
    unstable.StepResponse();
    EXPECT_EQ(unstable.Step, Column(3, 0.0));
    EXPECT_EQ(unstable.StepLength, 3);
}

TEST(FunTransTest, CopiesShareNothingObservable) {
    TFunTrans source = WithGenes({{Pole, -0.5}, {GainGene, 2.0}});
    AddSamples(source, {1, 2}, {3, 4});
    source.Evaluate();

    TFunTrans copy = WithGenes({{Pole, 0.25}});
    copy.Gain = 5.0;
    copy.CopyFrom(source);
    EXPECT_EQ(copy.Bits(), source.Bits());
    EXPECT_EQ(copy.ParamCount, 2);
    EXPECT_EQ(copy.NumText, source.NumText);
    EXPECT_EQ(copy.DenText, source.DenText);
    EXPECT_EQ(copy.Gain, 5.0);
    EXPECT_EQ(copy.Error, 0.0);
    EXPECT_TRUE(copy.SimOutput.empty());

    copy.AddSample(5, 6);
    copy.SetGeneValue(0, 0.75);
    EXPECT_EQ(source.Inputs(), Column({1, 2}));
    EXPECT_EQ(copy.Inputs(), Column({1, 2, 5}));
    EXPECT_EQ(copy.Outputs(), Column({3, 4, 6}));
    EXPECT_EQ(source.GeneValue(0), -0.5);
    source.AddSample(7, 8);
    EXPECT_EQ(copy.Inputs(), Column({1, 2, 5}));
}

TEST(FunTransTest, AFreshCopyIsANewObjectGivenTheCopy) {
    TFunTrans source = WithGenes({{Pole, -0.5}, {GainGene, 2.0}});
    AddSamples(source, {1, 2}, {3, 4});
    source.Evaluate();
    TFunTrans used = WithGenes({{Pole, 0.25}, {Pole, 0.5}});
    AddSamples(used, {5}, {6});
    used.Evaluate();
    used.StepResponse();

    TFunTrans expected;
    expected.CopyFrom(source);
    used.CopyFresh(source);
    EXPECT_EQ(used.Bits(), expected.Bits());
    EXPECT_EQ(used.Inputs(), expected.Inputs());
    ExpectSameFunction(used, expected);
    EXPECT_TRUE(used.SimOutput.empty());
    EXPECT_TRUE(used.Step.empty());
    EXPECT_EQ(used.StepLength, expected.StepLength);
}

TEST(FunTransTest, HandedOverColumnsMustMatch) {
    TFunTrans f;
    const auto inputs = std::make_shared<const Column>(Column{1, 2});
    f.SetSamples(inputs, std::make_shared<const Column>(Column{3, 4}));
    EXPECT_THROW(f.SetSamples(inputs, std::make_shared<const Column>(Column{1})),
                 std::invalid_argument);
    EXPECT_EQ(f.Outputs(), Column({3, 4}));
    f.AddSample(5, 6);
    EXPECT_EQ(*inputs, Column({1, 2}));
    EXPECT_EQ(f.Inputs(), Column({1, 2, 5}));
}

} // namespace
