#include "ui/color.h"

#include <gtest/gtest.h>

#include <cmath>

namespace NPluginUI {
namespace {

TEST(Color, KeepsComponentsUnclamped) {
    CColor color(-0.5, 0.25, 2.0);
    EXPECT_EQ(-0.5, color.getRed());
    EXPECT_EQ(0.25, color.getGreen());
    EXPECT_EQ(2.0, color.getBlue());
}

TEST(Color, CopiesAndSelfAssignmentKeepValues) {
    CColor original(0.1, 0.2, 0.3);
    CColor copy(original);
    EXPECT_EQ(0.2, copy.getGreen());
    CColor assigned(0, 0, 0);
    assigned = original;
    EXPECT_EQ(0.3, assigned.getBlue());
    CColor& same = assigned;
    assigned = same;
    EXPECT_EQ(0.1, assigned.getRed());
    EXPECT_EQ(0.2, assigned.getGreen());
    EXPECT_EQ(0.3, assigned.getBlue());
}

TEST(Color, EqualWhenEveryComponentIsWithinOneMillionth) {
    EXPECT_TRUE(CColor(0.5, 0.5, 0.5) == CColor(0.5, 0.5, 0.5));
    EXPECT_TRUE(CColor(0.5, 0.5, 0.5) == CColor(0.5 + 1e-7, 0.5, 0.5));
    EXPECT_TRUE(CColor(0.5, 0.5, 0.5) == CColor(0.5, 0.5 - 1e-7, 0.5));
    EXPECT_TRUE(CColor(0.5, 0.5, 0.5) == CColor(0.5, 0.5, 0.5 + 1e-7));
}

TEST(Color, DifferenceOfOneMillionthInAnyComponentIsUnequal) {
    // |0 - 1e-6| is exactly 1e-6: the bound itself does not count as equal.
    EXPECT_FALSE(CColor(0, 0, 0) == CColor(1e-6, 0, 0));
    EXPECT_FALSE(CColor(0, 0, 0) == CColor(0, 1e-6, 0));
    EXPECT_FALSE(CColor(0, 0, 0) == CColor(0, 0, 1e-6));
    EXPECT_FALSE(CColor(0.5, 0.5, 0.5) == CColor(0.5, 0.5, 0.5 + 1e-6));
}

TEST(Color, NanNeverComparesEqual) {
    CColor withNan(NAN, 0, 0);
    EXPECT_FALSE(withNan == withNan);
    EXPECT_FALSE(CColor(0, 0, 0) == CColor(0, NAN, 0));
}

}  // namespace
}  // namespace NPluginUI
