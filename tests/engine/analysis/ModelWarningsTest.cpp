#include "engine/analysis/ModelWarnings.h"

#include <gtest/gtest.h>

namespace orvanel {
namespace {

using Factor = LinearModel::Factor;

// Unit static gain through 0.1 / (z - 0.9), 1000 rows, input and output over a range of 1.
const LinearModel::Input Clean{0.1, {}, {Factor{false, 0.9}}, 1};
const ModelWarnings::Data Ordinary{1000, 1.0, 1.0};

TEST(ModelWarnings, EachDubiousModelRaisesItsOwnWarningAndNoOther) {
    EXPECT_TRUE(ModelWarnings::Of(Clean, Ordinary).empty());
    // A zero at 0.5 well apart from the poles, and a pole pair inside the circle.
    EXPECT_TRUE(
        ModelWarnings::Of({0.1, {Factor{false, 0.5}}, {Factor{true, 0.0, -1.2, 0.5}}, 2}, Ordinary)
            .empty());

    struct Case {
        const char* Name;
        LinearModel::Input Input;
        ModelWarnings::Data Data;
        const char* Says;
    };
    const Case cases[] = {
        {"slow pole",
         {0.0005, {}, {Factor{false, 0.9995}}, 0},
         Ordinary,
         "longer than the 1000 rows of data: over these data it acts as an integrator"},
        {"cancelling pair",
         {0.1, {Factor{false, 0.5}}, {Factor{false, 0.9}, Factor{false, 0.5005}}, 0},
         Ordinary,
         "the pole at z = 0.5005 and the zero at z = 0.5 nearly cancel"},
        {"gain out of scale",
         Clean,
         {1000, 101.0, 1.0},
         "the static gain of 1 turns the input's range of 101 into a change of 101, more than "
         "100 times the output's range of 1"},
        {"negative pole",
         {0.1, {}, {Factor{false, 0.9}, Factor{false, -0.5}}, 0},
         Ordinary,
         "the pole at z = -0.5 lies on the negative real axis"},
        {"zero outside",
         {0.1, {Factor{false, 1.5}}, {Factor{false, 0.9}, Factor{false, 0.5}}, 0},
         Ordinary,
         "the zero at z = 1.5 lies outside the unit circle: an inverse response"},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> warnings = ModelWarnings::Of(c.Input, c.Data);
        ASSERT_EQ(warnings.size(), 1u) << c.Name;
        EXPECT_NE(warnings[0].find(c.Says), std::string::npos) << c.Name << ": " << warnings[0];
    }
    // Just inside the limits nothing is said.
    EXPECT_TRUE(ModelWarnings::Of(Clean, ModelWarnings::Data{1000, 99.9, 1.0}).empty());
    EXPECT_TRUE(ModelWarnings::Of({0.0005, {}, {Factor{false, 0.9995}}, 0},
                                  ModelWarnings::Data{2000, 1.0, 1.0})
                    .empty());
}

} // namespace
} // namespace orvanel
