#include "plugin_base/plugin_rect.h"

#include <gtest/gtest.h>

namespace {

TEST(PluginRect, PositionAndSizeGiveEdges) {
    CPluginRect rect(10, 20, 100, 50);
    EXPECT_EQ(20, rect.getTop());
    EXPECT_EQ(10, rect.getLeft());
    EXPECT_EQ(70, rect.getBottom());
    EXPECT_EQ(110, rect.getRight());
    EXPECT_EQ(10, rect.getX());
    EXPECT_EQ(20, rect.getY());
    EXPECT_EQ(100, rect.getWidth());
    EXPECT_EQ(50, rect.getHeight());
}

TEST(PluginRect, SumsAreCutTo16BitsAndDifferencesWrap) {
    CPluginRect rect(32000, -5, 1000, 3);
    EXPECT_EQ(static_cast<Int16>(33000 - 65536), rect.getRight());
    EXPECT_EQ(1000, rect.getWidth());  // the wrapped difference comes back
    EXPECT_EQ(-2, rect.getBottom());

    NPRect inverted{50, 60, 10, 20};  // bottom above top, right left of left
    CPluginRect flipped(inverted);
    EXPECT_EQ(static_cast<UInt16>(20 - 60), flipped.getWidth());
    EXPECT_EQ(static_cast<UInt16>(10 - 50), flipped.getHeight());
}

TEST(PluginRect, HostRecordUsesTheSameRule) {
    papi_rect_t record{-10, 5, 70000, 20};  // width beyond 16 bits is cut
    CPluginRect rect(record);
    EXPECT_EQ(-10, rect.getLeft());
    EXPECT_EQ(static_cast<Int16>(static_cast<UInt16>(-10 + (70000 & 0xFFFF))), rect.getRight());
    EXPECT_EQ(25, rect.getBottom());
}

TEST(PluginRect, CacheTakesNoPartInComparisonOrAssignment) {
    CPluginRect a(1, 2, 3, 4);
    CPluginRect b(1, 2, 3, 4);
    const NPRect& cached = a.getNPRect();
    EXPECT_EQ(2u, cached.top);
    EXPECT_EQ(4u, cached.right);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);

    CPluginRect c(9, 9, 9, 9);
    a = c;
    EXPECT_EQ(2u, cached.top);  // the cache keeps the old values until converted again
    const NPRect& converted = a;
    EXPECT_EQ(&cached, &converted);
    EXPECT_EQ(9u, converted.top);
    EXPECT_TRUE(a == c);
    EXPECT_TRUE(a != b);

    a = a;  // self-assignment changes nothing
    EXPECT_TRUE(a == c);

    CPluginRect copy(a);
    EXPECT_EQ(9u, copy.getNPRect().top);
}

TEST(PluginRect, DefaultIsAllZero) {
    CPluginRect rect;
    EXPECT_EQ(0, rect.getTop());
    EXPECT_EQ(0, rect.getRight());
    EXPECT_EQ(0u, rect.getWidth());
}

}  // namespace
