// Whether two transfer functions hold the same decoded model and error.
#pragma once

#include "model/FunTrans.h"

#include <gtest/gtest.h>

namespace orvanel {

inline void ExpectSameFunction(const TFunTrans& actual, const TFunTrans& expected) {
    EXPECT_EQ(actual.NumText, expected.NumText);
    EXPECT_EQ(actual.DenText, expected.DenText);
    EXPECT_EQ(actual.Numerator, expected.Numerator);
    EXPECT_EQ(actual.Denominator, expected.Denominator);
    EXPECT_EQ(actual.Delay, expected.Delay);
    EXPECT_EQ(actual.Gain, expected.Gain);
    EXPECT_EQ(actual.ParamCount, expected.ParamCount);
    EXPECT_EQ(actual.Error, expected.Error);
}

} // namespace orvanel
