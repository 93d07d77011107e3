#include "document/formats/FunctionView.h"

#include "model/FunTrans.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace orvanel {
namespace {

// A refined model is shown as the search's would be: the same texts and the same step, to the
// last bit, for a model taken unchanged from the search's chromosome.
TEST(FunctionView, OfAModelTakenFromTheSearchIsTheSearchsOwnView) {
    std::mt19937 draws(5);
    int compared = 0;
    for (int trial = 0; trial < 300; ++trial) {
        TFunTrans function;
        function.SetGeneCount(6);
        for (int g = 0; g < 6; ++g) {
            function.SetGeneValue(g, static_cast<double>(draws() % 4001) / 1000.0 - 2.0);
            function.SetGeneType(g, static_cast<int>(draws() % 8));
        }
        const std::optional<LinearModel::Input> input = LinearModel::From(function);
        if (!input)
            continue;
        ++compared;
        const FunctionView search = FunctionView::Of(function, ',');
        const FunctionView refined = FunctionView::Of(*input, ',');
        EXPECT_EQ(refined.Numerator, search.Numerator) << trial;
        EXPECT_EQ(refined.Denominator, search.Denominator) << trial;
        EXPECT_EQ(refined.Step, search.Step) << trial;
    }
    EXPECT_GT(compared, 50);
}

TEST(FunctionView, WritesTheRefinedCoefficientsAndEndsTheStepWhenItSettles) {
    // 0.5 / (z - 0.5) with one sample of delay: the step settles at 1.
    LinearModel::Input input;
    input.Gain = 0.5;
    input.Poles = {LinearModel::Factor{false, 0.5}};
    input.Delay = 1;
    const FunctionView view = FunctionView::Of(input, '.');
    EXPECT_EQ(view.Numerator, "0.5");
    EXPECT_EQ(view.Denominator, "1\xC2\xB7z^2+-0.5\xC2\xB7z^1");
    ASSERT_EQ(view.Step.size(), 14u);
    EXPECT_EQ(view.Step[3], 0.0);
    EXPECT_EQ(view.Step[4], 0.5);
    EXPECT_EQ(view.Step[13], 1.0 - 1.0 / 1024);

    input.Poles = {LinearModel::Factor{false, 1e200}};
    EXPECT_EQ(FunctionView::Of(input, '.').Step, std::vector<double>(4, 0.0));
}

// A model read from a file shows the texts and step of the model it was written from, without
// the factors the analysing views need.
TEST(FunctionView, OfAModelFileInputIsTheViewOfItsModel) {
    LinearModel::Input input;
    input.Gain = 0.3;
    input.Zeros = {LinearModel::Factor{false, -0.4}};
    input.Poles = {LinearModel::Factor{true, 0.0, -1.2, 0.5}, LinearModel::Factor{false, 0.7}};
    input.Delay = 2;
    const FunctionView factored = FunctionView::Of(input, ',');
    std::vector<double> denominator = input.PolePolynomial();
    std::reverse(denominator.begin(), denominator.end());
    const FunctionView read =
        FunctionView::Of(ModelFile::Input{"", input.Numerator(), denominator, 2}, ',');
    EXPECT_EQ(read.Numerator, factored.Numerator);
    EXPECT_EQ(read.Denominator, factored.Denominator);
    EXPECT_EQ(read.Step, factored.Step);
    EXPECT_GT(read.Step.size(), 10u);
    EXPECT_FALSE(read.Model);
}

} // namespace
} // namespace orvanel
