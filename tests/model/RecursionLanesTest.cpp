#include "model/RecursionLanes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace orvanel;

namespace {

constexpr std::size_t Count = 700;

// A reproducible draw in [-1, 1).
struct Draws {
    std::uint32_t state;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }
    int Below(int n) { return static_cast<int>((Next() + 1.0) / 2.0 * n); }
};

// The bits of every value, so that -0.0 and +0.0 differ.
std::vector<std::vector<std::uint64_t>> BitsOf(const std::vector<std::vector<double>>& sums) {
    std::vector<std::vector<std::uint64_t>> bits;
    for (const std::vector<double>& sum : sums) {
        bits.emplace_back(sum.size());
        std::memcpy(bits.back().data(), sum.data(), sum.size() * sizeof(double));
    }
    return bits;
}

struct Coefficients {
    std::vector<double> numerator;
    std::vector<double> denominator;
    std::int32_t delay;
};

// Lanes of every kind in one list: up to 10 poles, delays past what a group takes and one
// below zero, unstable recursions that fail part-way, inputs holding an infinity or starting
// with zeros, and lanes that only add a constant, adding in turn to three sums.
struct Fixture {
    std::vector<std::vector<double>> inputs;
    std::vector<double> outputs;
    std::vector<Coefficients> coefficients;
    std::vector<RecursionLanes::Lane> lanes;

    Fixture() {
        Draws draw{11};
        for (int c = 0; c < 4; ++c) {
            std::vector<double> column(Count);
            for (double& u : column)
                u = draw.Next();
            inputs.push_back(column);
        }
        inputs[3][400] = std::numeric_limits<double>::infinity();
        // Zeros at the start give outputs of zero, of either sign.
        for (std::vector<double>& column : inputs)
            std::fill(column.begin(), column.begin() + 100, 0.0);
        outputs.resize(Count);
        for (double& y : outputs)
            y = draw.Next();
        std::fill(outputs.begin(), outputs.begin() + 50, 0.0);
        const std::int32_t delays[] = {0, 1, 3, 70, -2};
        for (int k = 0; k < 60; ++k) {
            const int poles = 1 + draw.Below(10);
            Coefficients c{{}, {}, delays[draw.Below(5)]};
            for (int j = 0; j <= draw.Below(poles + 1); ++j)
                c.numerator.push_back(draw.Next());
            // Unstable when the scale is well above 1/poles.
            const double scale = (k % 7 == 0 ? 1.3 : 0.6) / poles;
            for (int j = 0; j < poles; ++j)
                c.denominator.push_back(draw.Next() * scale);
            coefficients.push_back(c);
        }
        for (std::size_t k = 0; k < coefficients.size(); ++k) {
            RecursionLanes::Lane lane;
            lane.simulated = k % 9 != 4;
            lane.constant = -10.0;
            const Coefficients& c = coefficients[k];
            lane.recursion = {inputs[k % 4].data(),
                              outputs.data(),
                              Count,
                              c.numerator.data(),
                              static_cast<int>(c.numerator.size()) - 1,
                              c.denominator.data(),
                              static_cast<int>(c.denominator.size()),
                              c.delay};
            lanes.push_back(lane);
        }
    }
};

// Over three sums and over four: the lanes run alone and the lanes of groups opened before
// them meet over other sums.
void ExpectSameBitsAsOneAfterTheOther(int sumCount) {
    Fixture fixture;
    std::vector<std::vector<double>> expected(sumCount, std::vector<double>(Count, 0.0));
    std::vector<Recursion::Result> results;
    std::vector<double> out(Count);
    int failed = 0;
    for (std::size_t k = 0; k < fixture.lanes.size(); ++k) {
        const RecursionLanes::Lane& lane = fixture.lanes[k];
        std::vector<double>& sum = expected[k % sumCount];
        if (!lane.simulated) {
            for (double& s : sum)
                s = s + lane.constant;
            results.push_back({});
            continue;
        }
        results.push_back(lane.recursion.Run(out.data(), sum.data()));
        failed += results.back().complete ? 0 : 1;
    }
    ASSERT_GT(failed, 3);
    ASSERT_LT(failed, 30);

    // Sums left over from earlier work are cleared when asked; zeros are added to as given.
    // A second thread takes the later lanes without changing a bit.
    for (const bool baselineOnly : {true, false}) {
        for (const bool clearSums : {true, false}) {
            for (const int threads : {1, 2}) {
                std::vector<std::vector<double>> sums(
                    sumCount, std::vector<double>(Count, clearSums ? 7.5 : 0.0));
                std::vector<RecursionLanes::Lane> lanes = fixture.lanes;
                for (std::size_t k = 0; k < lanes.size(); ++k)
                    lanes[k].sum = sums[k % sumCount].data();
                RecursionLanes::Run(lanes, Count, baselineOnly, clearSums, threads);
                EXPECT_EQ(BitsOf(sums), BitsOf(expected)) << baselineOnly << clearSums << threads;
                for (std::size_t k = 0; k < lanes.size(); ++k) {
                    if (!lanes[k].simulated)
                        continue;
                    EXPECT_EQ(lanes[k].result.stored, results[k].stored) << k;
                    EXPECT_EQ(lanes[k].result.complete, results[k].complete) << k;
                    if (results[k].complete) {
                        EXPECT_EQ(lanes[k].result.error, results[k].error) << k;
                    }
                }
            }
        }
    }
}

TEST(RecursionLanesTest, EveryLaneAndSumIsTheSameBitsAsRunningTheLanesOneAfterTheOther) {
    ExpectSameBitsAsOneAfterTheOther(3);
    ExpectSameBitsAsOneAfterTheOther(4);
}

// Full groups whose lanes take turns over one, two or four sums, as the models of a batch
// do, with one lane diverging part-way: the lanes of a sum are added in their order.
TEST(RecursionLanesTest, LanesTakingTurnsOverSumsAddInTheirOrder) {
    Draws draw{23};
    std::vector<std::vector<double>> inputs(3, std::vector<double>(Count));
    std::vector<double> outputs(Count);
    for (std::vector<double>& column : inputs)
        for (double& u : column)
            u = draw.Next();
    for (double& y : outputs)
        y = 1e3 * draw.Next();
    std::vector<Coefficients> coefficients;
    for (int k = 0; k < 24; ++k) {
        const int poles = 1 + draw.Below(3);
        Coefficients c{{}, {}, draw.Below(3)};
        for (int j = 0; j <= draw.Below(poles + 1); ++j)
            c.numerator.push_back(1e3 * draw.Next());
        for (int j = 0; j < poles; ++j)
            c.denominator.push_back(draw.Next() * 0.5 / poles);
        coefficients.push_back(c);
    }
    // Grows by 2.5 each sample until its squared residual overflows.
    coefficients[13].denominator = {-2.5};
    for (const int turns : {1, 2, 4}) {
        std::vector<std::vector<double>> expected(turns, std::vector<double>(Count, 0.0));
        std::vector<double> out(Count);
        std::vector<RecursionLanes::Lane> lanes;
        for (std::size_t k = 0; k < coefficients.size(); ++k) {
            const Coefficients& c = coefficients[k];
            RecursionLanes::Lane lane;
            lane.recursion = {inputs[k % 3].data(),
                              outputs.data(),
                              Count,
                              c.numerator.data(),
                              static_cast<int>(c.numerator.size()) - 1,
                              c.denominator.data(),
                              static_cast<int>(c.denominator.size()),
                              c.delay};
            lane.result = lane.recursion.Run(out.data(), expected[k % turns].data());
            lanes.push_back(lane);
        }
        ASSERT_FALSE(lanes[13].result.complete);
        ASSERT_GT(lanes[13].result.stored, 300u);
        for (const bool baselineOnly : {true, false}) {
            std::vector<std::vector<double>> sums(turns, std::vector<double>(Count, 0.0));
            std::vector<RecursionLanes::Lane> together = lanes;
            for (std::size_t k = 0; k < together.size(); ++k)
                together[k].sum = sums[k % turns].data();
            RecursionLanes::Run(together, Count, baselineOnly);
            EXPECT_EQ(sums, expected) << turns << baselineOnly;
            for (std::size_t k = 0; k < lanes.size(); ++k) {
                EXPECT_EQ(together[k].result.stored, lanes[k].result.stored) << k;
                EXPECT_EQ(together[k].result.error, lanes[k].result.error) << k;
            }
        }
    }
}

} // namespace
