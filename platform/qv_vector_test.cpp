#include "platform/qv_vector.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TQVVector, EraseKeepsTheOrderOfTheRest) {
    TQVVector<int> v;
    for (int i = 0; i < 5; ++i) v.push_back(i);
    v.erase(0);
    v.erase(3);
    v.erase(1);
    EXPECT_EQ((std::vector<int>{1, 3}), std::vector<int>(v.begin(), v.end()));
}

TEST(TQVVectorDeathTest, IndexOutOfRangeAborts) {
    TQVVector<int> v;
    for (int i = 0; i < 3; ++i) v.push_back(i);
    EXPECT_DEATH(v.get(3), "index 3 out of range \\(size 3\\)");
    EXPECT_DEATH(v.get(-1), "index -1 out of range");
    EXPECT_DEATH(v.erase(3), "out of range");
    TQVVector<int> empty;
    EXPECT_DEATH(empty.erase(0), "out of range");
}

}  // namespace
