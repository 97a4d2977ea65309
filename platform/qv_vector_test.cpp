#include "platform/qv_vector.h"

#include <gtest/gtest.h>

#include "platform/qv_string.h"

namespace {

TQVVector<int> numbers(int n) {
    TQVVector<int> v;
    for (int i = 0; i < n; ++i) {
        v.push_back(i);
    }
    return v;
}

void expectContents(const TQVVector<int>& v, std::initializer_list<int> expected) {
    ASSERT_EQ(static_cast<int>(expected.size()), v.size());
    int i = 0;
    for (int value : expected) {
        EXPECT_EQ(value, v.get(i++));
    }
}

}  // namespace

TEST(TQVVector, EraseOneKeepsOrder) {
    TQVVector<int> v = numbers(5);
    v.erase(0);
    expectContents(v, {1, 2, 3, 4});
    v.erase(3);
    expectContents(v, {1, 2, 3});
    v.erase(1);
    expectContents(v, {1, 3});
}

TEST(TQVVector, EraseRangeIsInclusive) {
    TQVVector<int> v = numbers(6);
    v.erase(1, 3);
    expectContents(v, {0, 4, 5});
    v.erase(2, 2);
    expectContents(v, {0, 4});
    v.erase(0, 1);
    EXPECT_EQ(0, v.size());
    EXPECT_TRUE(v.isEmpty());
}

TEST(TQVVector, GetReturnsModifiableElement) {
    TQVVector<CQVString> v;
    v.push_back("a");
    v.get(0).append("b");
    EXPECT_EQ(v.get(0), "ab");
    v.clear();
    EXPECT_EQ(0, v.size());
}

TEST(TQVVectorDeathTest, IndexOutOfRangeAborts) {
    TQVVector<int> v = numbers(3);
    EXPECT_DEATH(v.get(3), "index 3 out of range \\(size 3\\)");
    EXPECT_DEATH(v.get(-1), "index -1 out of range");
    EXPECT_DEATH(v.erase(3), "out of range");
    EXPECT_DEATH(v.erase(1, 3), "out of range");
    EXPECT_DEATH(v.erase(2, 1), "out of range");
    TQVVector<int> empty;
    EXPECT_DEATH(empty.erase(0), "out of range");
}
