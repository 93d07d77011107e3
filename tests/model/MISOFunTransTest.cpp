#include "model/MISOFunTrans.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace orvanel;

namespace {

using Column = std::vector<double>;

enum { Pole = 1, DelayGene = 4, GainGene = 5, Off = 6 };

void SetGene(TFunTrans& f, int g, int type, double value) {
    f.SetGeneValue(g, value);
    f.SetGeneType(g, type);
}

// Input k of the model receives inputs[k]; every transfer function gets the same outputs.
void AddSamples(TMISOFunTrans& model, const std::vector<Column>& inputs, const Column& outputs) {
    for (std::size_t k = 0; k < inputs.size(); ++k)
        for (std::size_t i = 0; i < outputs.size(); ++i)
            model.Functions()[k].AddSample(inputs[k][i], outputs[i]);
}

// 1/(z - 0.5) on the first input, 2/z on the second.
TMISOFunTrans TwoInputExample() {
    TMISOFunTrans model;
    model.SetInputCount(2);
    SetGene(model.Functions()[0], 0, Pole, -0.5);
    SetGene(model.Functions()[1], 0, Pole, 0.0);
    SetGene(model.Functions()[1], 1, GainGene, 2.0);
    AddSamples(model, {{1, 0, 0}, {0, 1, 0}}, {0, 1, 3});
    return model;
}

TEST(MISOFunTransTest, OutputsOfTheInputsAreAdded) {
    TMISOFunTrans model = TwoInputExample();
    const double expected = ((2.5 - 3.0) / 100) * ((2.5 - 3.0) / 100);
    EXPECT_EQ(model.Evaluate(), expected);
    EXPECT_DOUBLE_EQ(model.Error, 0.000025);
    EXPECT_EQ(model.Output(), Column({0, 1, 2.5}));
    EXPECT_EQ(model.Functions()[0].Error, 6.25);
    EXPECT_EQ(model.Functions()[1].Error, 2.0);
    EXPECT_EQ(model.OutputSample(2), 2.5);
    EXPECT_EQ(model.OutputSample(3), 0.0);
    EXPECT_EQ(model.OutputSample(-1), 0.0);
    EXPECT_EQ(model.ParamCountSum(), 3);
    EXPECT_EQ(model.ParamCount, 3);
}

// 1/(z - 0.5) on u = 1 0 0 | 1 0: from rest at row 3 the output is 0 1 0.5 | 0 1, where one
// run through would give 0.25 1.125 at the last two rows.
TEST(MISOFunTransTest, EachExperimentIsSimulatedFromRestAndTheErrorsAdded) {
    TMISOFunTrans model;
    SetGene(model.Functions()[0], 0, Pole, -0.5);
    model.Functions()[0].SetSamples(std::make_shared<const Column>(Column{1, 0, 0, 1, 0}),
                                    std::make_shared<const Column>(Column{0, 1, 0, 0, 2}),
                                    Experiments({0, 3}));
    const double expected = (0.5 / 100) * (0.5 / 100) + (-1.0 / 100) * (-1.0 / 100);
    EXPECT_EQ(model.Evaluate(), expected);
    EXPECT_EQ(model.Output(), Column({0, 1, 0.5, 0, 1}));
    EXPECT_EQ(model.Functions()[0].Error, 1.25);
    TMISOFunTrans together;
    together.Assign(model);
    EXPECT_EQ(together.Score(), expected);
    EXPECT_EQ(together.Output(), Column({0, 1, 0.5, 0, 1}));
    EXPECT_EQ(together.Functions()[0].Error, 1.25);
}

TEST(MISOFunTransTest, OneFailedInputFailsTheModel) {
    TMISOFunTrans model;
    model.SetInputCount(2);
    SetGene(model.Functions()[0], 0, Pole, 0.0);
    for (int g = 0; g < 6; ++g)
        SetGene(model.Functions()[1], g, Off, 0.0);
    AddSamples(model, {{0, 0}, {0, 0}}, {0, 0});
    EXPECT_EQ(model.Evaluate(), 1e300);
    EXPECT_EQ(model.Output(), Column({0, 0}));
    // A transfer function whose genes cannot be decoded contributes -10 per sample.
    SetGene(model.Functions()[1], 0, DelayGene, std::ldexp(1.0, 63));
    EXPECT_EQ(model.Evaluate(), 1e300);
    EXPECT_EQ(model.Output(), Column({-10, -10}));

    TMISOFunTrans empty;
    SetGene(empty.Functions()[0], 0, Pole, 0.0);
    EXPECT_EQ(empty.Evaluate(), 0.0);
    EXPECT_TRUE(empty.Output().empty());
}

TEST(MISOFunTransTest, AFailingSampleKeepsTheEarlierOutputFromThere) {
    TMISOFunTrans model;
    model.SetInputCount(2);
    for (TFunTrans& f : model.Functions()) {
        SetGene(f, 0, Pole, 0.0);
        SetGene(f, 1, DelayGene, 1.0);
    }
    AddSamples(model, {{1, 1e308, 0}, {1, 1e308, 0}}, {0, 2, 1e308});
    // The residual of sample 2 overflows when squared: its output is already stored.
    EXPECT_EQ(model.Evaluate(), 1e300);
    EXPECT_EQ(model.Output(), Column({0, 0, 2}));

    // Without the delay each input fits the data, but their sum at sample 2 overflows.
    for (TFunTrans& f : model.Functions())
        f.SetGeneType(1, Off);
    EXPECT_EQ(model.Evaluate(), 1e300);
    EXPECT_EQ(model.Functions()[0].Error, 1.0);
    EXPECT_EQ(model.Functions()[1].Error, 1.0);
    EXPECT_EQ(model.Output(), Column({0, 2, 2}));
}

TEST(MISOFunTransTest, InputCountKeepsTheFunctionsBelowIt) {
    TMISOFunTrans model;
    EXPECT_EQ(model.InputCount(), 1);
    EXPECT_EQ(model.Functions()[0].GeneCount(), 6);
    SetGene(model.Functions()[0], 5, GainGene, 0.75);
    model.SetInputCount(1);
    model.SetInputCount(3);
    EXPECT_EQ(model.Functions()[0].GeneValue(5), 0.75);
    ASSERT_EQ(model.Functions().size(), 3u);
    EXPECT_EQ(model.Functions()[2].Bits(), std::vector<std::uint8_t>(6 * 35, 0));
    model.SetInputCount(1);
    EXPECT_EQ(model.InputCount(), 1);
    EXPECT_EQ(model.Functions()[0].GeneType(5), GainGene);
    EXPECT_THROW(model.SetInputCount(0), std::invalid_argument);
    EXPECT_EQ(model.InputCount(), 1);
}

TEST(MISOFunTransTest, AssignMakesAnIndependentCopy) {
    TMISOFunTrans source = TwoInputExample();
    source.Evaluate();
    source.Fitness = -7.0;
    source.Expected = 0.4;
    TMISOFunTrans copy;
    copy.Assign(source);
    EXPECT_EQ(copy.Fitness, -7.0);
    EXPECT_EQ(copy.Expected, 0.4);
    EXPECT_EQ(copy.Error, source.Error);
    EXPECT_EQ(copy.ParamCount, 3);
    EXPECT_EQ(copy.Output(), source.Output());
    EXPECT_EQ(copy.Functions()[1].Bits(), source.Functions()[1].Bits());
    EXPECT_EQ(copy.Functions()[1].DenText, source.Functions()[1].DenText);
    EXPECT_EQ(copy.Functions()[1].Error, 0.0);

    SetGene(copy.Functions()[1], 1, GainGene, 4.0);
    copy.Functions()[0].AddSample(9, 9);
    EXPECT_THROW(copy.Evaluate(), std::invalid_argument);
    copy.Functions()[1].AddSample(9, 9);
    copy.Evaluate();
    EXPECT_EQ(copy.Output().size(), 4u);
    EXPECT_EQ(source.Functions()[1].GeneValue(1), 2.0);
    EXPECT_EQ(source.Functions()[0].Inputs().size(), 3u);
    EXPECT_EQ(source.Output(), Column({0, 1, 2.5}));

    TMISOFunTrans second;
    second.Assign(source);
    SetGene(source.Functions()[0], 0, Pole, 0.5);
    source.Evaluate();
    EXPECT_EQ(second.Output(), Column({0, 1, 2.5}));
}

TEST(MISOFunTransTest, SelectionWeights) {
    TMISOFunTrans model;
    model.Fitness = -10;
    model.SigmaScale(-20, 10);
    EXPECT_EQ(model.Expected, 0.55);
    model.Fitness = -30;
    model.SigmaScale(-20, 10);
    EXPECT_EQ(model.Expected, 0.1);
    model.SigmaScale(-20, 0);
    EXPECT_EQ(model.Expected, 1.0);

    model.RankScale(80, 80);
    EXPECT_EQ(model.Expected, 1.1);
    model.RankScale(1, 80);
    EXPECT_EQ(model.Expected, 0.9);
    model.RankScale(76, 80);
    EXPECT_EQ(model.Expected, 0.9 + 0.2 * 75 / 79);
}

TEST(MISOFunTransTest, ThreadsEvaluatingDistinctModelsAgreeWithOneThread) {
    Column outputs(5000);
    std::vector<Column> inputs(3, Column(outputs.size()));
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        outputs[i] = static_cast<double>(i % 13) - 6;
        for (std::size_t k = 0; k < inputs.size(); ++k)
            inputs[k][i] = static_cast<double>((i * (k + 3)) % 11) / 5;
    }
    std::vector<TMISOFunTrans> models(4);
    for (std::size_t p = 0; p < models.size(); ++p) {
        models[p].SetInputCount(3);
        for (int k = 0; k < 3; ++k) {
            TFunTrans& f = models[p].Functions()[static_cast<std::size_t>(k)];
            SetGene(f, 0, Pole, -0.25 * static_cast<double>(p % 3 + 1));
            SetGene(f, 1, Pole, 0.125 * k);
            SetGene(f, 2, GainGene, 1.5 - static_cast<double>(p) / 4);
        }
        AddSamples(models[p], inputs, outputs);
    }
    std::vector<TMISOFunTrans> alone = models;
    for (TMISOFunTrans& model : alone)
        model.Evaluate();

    std::vector<std::thread> threads;
    for (TMISOFunTrans& model : models)
        threads.emplace_back([&model] {
            for (int round = 0; round < 20; ++round)
                model.Evaluate();
        });
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t p = 0; p < models.size(); ++p) {
        EXPECT_EQ(models[p].Error, alone[p].Error);
        EXPECT_EQ(models[p].Output(), alone[p].Output());
    }
}

// Random models as the engine draws them, with gene values wide enough that transfer
// functions fail to decode, are rejected, or diverge part-way.
TEST(MISOFunTransTest, ScoringTogetherGivesWhatEvaluatingEachGives) {
    std::uint32_t seed = 5;
    const auto draw = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed) / 2147483648.0 - 1.0;
    };
    Column outputs(900);
    std::vector<Column> inputs(3, Column(outputs.size()));
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        outputs[i] = 40 * draw();
        for (Column& input : inputs)
            input[i] = draw();
    }
    std::vector<TMISOFunTrans> models(40);
    for (std::size_t p = 0; p < models.size(); ++p) {
        models[p].SetInputCount(3);
        for (TFunTrans& f : models[p].Functions())
            for (int g = 0; g < 6; ++g)
                SetGene(f, g, static_cast<int>((draw() + 1) * 4),
                        p % 5 == 0 && g == 5 ? 1e200 : 1.2 * draw());
        AddSamples(models[p], inputs, outputs);
        // An earlier result that a failing sum keeps from its failing sample on.
        if (p % 2 == 0)
            models[p].Evaluate();
    }
    std::vector<TMISOFunTrans> alone = models;
    for (TMISOFunTrans& model : alone)
        model.Evaluate();
    for (const bool baselineOnly : {true, false}) {
        std::vector<TMISOFunTrans> together = models;
        std::vector<TMISOFunTrans*> batch;
        for (TMISOFunTrans& model : together)
            batch.push_back(&model);
        TMISOFunTrans::ScoreAll(batch, baselineOnly);
        // A search keeps the errors alone; its scratch sums then serve every batch.
        std::vector<TMISOFunTrans> errorsOnly = models;
        std::vector<TMISOFunTrans*> errorsBatch;
        for (TMISOFunTrans& model : errorsOnly)
            errorsBatch.push_back(&model);
        for (int round = 0; round < 2; ++round)
            TMISOFunTrans::ScoreAll(errorsBatch, baselineOnly, false);
        int failed = 0;
        for (std::size_t p = 0; p < models.size(); ++p) {
            EXPECT_EQ(together[p].Error, alone[p].Error) << p;
            EXPECT_EQ(together[p].Output(), alone[p].Output()) << p;
            EXPECT_EQ(errorsOnly[p].Error, alone[p].Error) << p;
            EXPECT_TRUE(errorsOnly[p].Output().empty()) << p;
            failed += alone[p].Error == 1e300 ? 1 : 0;
            for (std::size_t k = 0; k < 3; ++k) {
                const TFunTrans& f = together[p].Functions()[k];
                EXPECT_EQ(f.Error, alone[p].Functions()[k].Error) << p << " " << k;
                EXPECT_EQ(f.Numerator, alone[p].Functions()[k].Numerator);
                EXPECT_EQ(f.NumText, models[p].Functions()[k].NumText);
            }
        }
        EXPECT_GT(failed, 5);
        EXPECT_LT(failed, 35);
    }
}

} // namespace
