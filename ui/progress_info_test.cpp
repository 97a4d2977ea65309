// The progress text: a percentage truncated toward zero, or "...".
#include "ui/progress_info.h"

#include <gtest/gtest.h>

#include <cmath>

namespace NPluginUI {
namespace {

TEST(ProgressInfo, TextIsThePercentageTruncatedOrDotsWithoutASize) {
    const struct {
        double size;
        double position;
        const char* text;
    } rows[] = {
        {0, 500, "..."},       {-10, 5, "..."},           {1000, 0, "0%"},
        {1000, 999, "99%"},    {1000, 1000, "100%"},      {1000, 1500, "150%"},
        {200, 101, "50%"},     {1e-300, 1e300, "2147483647%"}, {1e-300, -1e300, "-2147483648%"},
        {1000, NAN, "..."},
    };
    for (const auto& row : rows) {
        CProgressInfo info;
        info.setSize(row.size);
        info.incPosition(row.position / 2);
        info.incPosition(row.position / 2);
        EXPECT_STREQ(row.text, info.toString()) << row.position << " of " << row.size;
    }
}

}  // namespace
}  // namespace NPluginUI
