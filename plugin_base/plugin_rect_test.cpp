// Rectangles from a position and size, from the browser's NPRect and the
// host's record: the 16-bit edge rule, and the NPRect handed back.
#include "plugin_base/plugin_rect.h"

#include <gtest/gtest.h>

TEST(PluginRect, EdgesAreSixteenBitSumsAndSizesWrappedDifferences) {
    NPRect inverted{50, 60, 10, 20};         // top, left, bottom, right: bottom above top
    papi_rect_t record{-10, 5, 70000, 20};  // x, y, width, height: width beyond 16 bits
    const struct {
        const char* name;
        CPluginRect rect;
        int top, left, bottom, right, width, height;
    } rows[] = {
        {"position and size", CPluginRect(10, 20, 100, 50), 20, 10, 70, 110, 100, 50},
        {"sum past 32767", CPluginRect(32000, -5, 1000, 3), -5, 32000, -2, 33000 - 65536, 1000, 3},
        {"inverted NPRect", CPluginRect(inverted), 50, 60, 10, 20, 65536 - 40, 65536 - 40},
        {"host record", CPluginRect(record), 5, -10, 25, -10 + (70000 & 0xFFFF), 70000 & 0xFFFF, 20},
        {"default", CPluginRect(), 0, 0, 0, 0, 0, 0},
    };
    for (auto row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.top, row.rect.getTop());
        EXPECT_EQ(row.left, row.rect.getLeft());
        EXPECT_EQ(row.bottom, row.rect.getBottom());
        EXPECT_EQ(row.right, row.rect.getRight());
        EXPECT_EQ(row.width, row.rect.getWidth());
        EXPECT_EQ(row.height, row.rect.getHeight());
        const NPRect& np = row.rect.getNPRect();
        EXPECT_EQ(static_cast<uint16_t>(row.top), np.top);
        EXPECT_EQ(static_cast<uint16_t>(row.right), np.right);
    }
}
