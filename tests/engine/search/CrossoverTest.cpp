#include "engine/search/Crossover.h"

#include <gtest/gtest.h>

namespace orvanel {
namespace {

// A transfer function of six genes whose bit i is set where i is a multiple of `every`.
TFunTrans Striped(int every) {
    TFunTrans function;
    function.SetGeneCount(6);
    for (int i = 0; i < function.BitCount(); ++i)
        function.SetBit(i, i % every == 0 ? 1 : 0);
    return function;
}

std::string BitsOf(const TFunTrans& function, int first, int last) {
    std::string bits;
    for (int i = first; i <= last; ++i)
        bits += function.Bit(i) != 0 ? '1' : '0';
    return bits;
}

TEST(CrossFunctions, CutsInsideDifferentGenesAndMovesTheGeneCounts) {
    const TFunTrans a = Striped(3);
    const TFunTrans b = Striped(7);
    TFunTrans first;
    TFunTrans second;
    // ga = 2, gb = 4, c = 10: a's cut after bit 80, b's after bit 150.
    CrossFunctions(a, b, 2, 4, 10, first, second);

    ASSERT_EQ(first.GeneCount(), 4);
    EXPECT_EQ(BitsOf(first, 0, 80), BitsOf(a, 0, 80));
    EXPECT_EQ(BitsOf(first, 81, 139), BitsOf(b, 151, 209));

    ASSERT_EQ(second.GeneCount(), 8);
    EXPECT_EQ(BitsOf(second, 0, 150), BitsOf(b, 0, 150));
    EXPECT_EQ(BitsOf(second, 151, 279), BitsOf(a, 81, 209));
}

TEST(CrossFunctions, ACutInTheLastGeneAgainstTheFirstKeepsOneGene) {
    const TFunTrans a = Striped(2);
    const TFunTrans b = Striped(5);
    TFunTrans first;
    TFunTrans second;
    CrossFunctions(a, b, 0, 5, 34, first, second);
    ASSERT_EQ(first.GeneCount(), 1);
    EXPECT_EQ(BitsOf(first, 0, 34), BitsOf(a, 0, 34));
    ASSERT_EQ(second.GeneCount(), 11);
    EXPECT_EQ(BitsOf(second, 0, 209), BitsOf(b, 0, 209));
    EXPECT_EQ(BitsOf(second, 210, 384), BitsOf(a, 35, 209));
}

} // namespace
} // namespace orvanel
