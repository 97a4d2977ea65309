// The progress text, and the progress bar's pixels: frame, filled part,
// rest, and the centred text.
#include "ui/progress_bar_cairo_widget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/support/log_capture.h"
#include "ui/progress_info.h"
#include "ui/surface_test_util.h"

namespace NPluginUI {
namespace {

using namespace test;

constexpr int kWidth = 400, kHeight = 60, kBorder = 5;  // the instance's bar

class ProgressBar : public ::testing::Test {
protected:
    void draw(TestSurface& surface, int x, int y, bool text = true, int fontSize = 48) {
        CProgressBarCairoWidget bar(context, info, kWidth, kHeight, kBorder, fontSize, backColor(), topColor(),
                                    barColor(), text);
        context.mCairo = surface.cairo();
        bar.draw(x, y);
        context.mCairo = nullptr;
    }
    // The widget at (x, y) is the frame, `filled` bar columns and the back
    // colour, except for text ink in the inner rows [inkTop, inkBottom], and
    // nothing around it is touched.
    void expectBar(TestSurface& surface, int x, int y, int filled, int inkTop = -1, int inkBottom = -2) {
        for (int py = 0; py < surface.height; ++py) {
            for (int px = 0; px < surface.width; ++px) {
                int wx = px - x, wy = py - y;
                bool inner = wx >= kBorder && wy >= kBorder && wx < kWidth - kBorder && wy < kHeight - kBorder;
                if (wx < 0 || wy < 0 || wx >= kWidth || wy >= kHeight) {
                    ASSERT_TRUE(surface.untouched(px, py)) << px << "," << py;
                } else if (!inner) {
                    ASSERT_TRUE(surface.isColor(px, py, topColor())) << px << "," << py;
                } else if (py < inkTop || py > inkBottom) {
                    ASSERT_TRUE(surface.isColor(px, py, wx - kBorder < filled ? barColor() : backColor()))
                        << px << "," << py;
                }
            }
        }
    }
    CCairoContext context;
    CProgressInfo info;
};

TEST(ProgressInfo, TextIsThePercentageTruncatedOrDotsWithoutASize) {
    const struct { double size, position; const char* text; } rows[] = {
        {0, 500, "..."},    {-10, 5, "..."},      {1000, 0, "0%"},    {1000, 999, "99%"},
        {1000, 1000, "100%"}, {1000, 1500, "150%"}, {200, 101, "50%"}, {1000, NAN, "..."},
        {1e-300, 1e300, "2147483647%"}, {1e-300, -1e300, "-2147483648%"}};
    for (const auto& row : rows) {
        CProgressInfo info;
        info.setSize(row.size);
        info.incPosition(row.position / 2);
        info.incPosition(row.position / 2);
        EXPECT_STREQ(row.text, info.toString()) << row.position << " of " << row.size;
    }
}

TEST_F(ProgressBar, FilledPartIsTheFractionOfTheInnerWidthRoundedHalfUp) {
    const struct { const char* name; double size, position; int fontSize, filled; } rows[] = {
        {"half", 1000, 500, 48, 195},          {"three tenths", 10, 3, 48, 117},
        {"0.975 pixels", 400, 1, 48, 1},       {"exactly half a pixel", 780, 1, 48, 1},
        {"just under half a pixel", 781, 1, 48, 0}, {"no size", 0, 12345, 48, 0},
        {"infinite position", 1000, INFINITY, 48, 0}, {"font size 0: no text", 10, 3, 0, 117},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        info.setSize(row.size);
        info.setPosition(row.position);
        TestSurface surface(440, 80);
        cairo_rectangle(surface.cairo(), 0, 0, 3, 3);  // a path the host left: not to be filled
        draw(surface, 20, 10, /*text=*/row.fontSize == 0, row.fontSize);  // font size 0 must show none
        EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(surface.cairo()));
        expectBar(surface, 20, 10, row.filled);
    }
}

TEST_F(ProgressBar, TextIsCentredInTheTopColourAndTheCallersStateIsKept) {
    const struct { double size, position; int filled; } rows[] = {{1000, 500, 195}, {1000, 1000, 390}, {1000, 70, 27},
                                                                   {0, 0, 0}};
    for (const auto& row : rows) {
        info.setSize(row.size);
        info.setPosition(row.position);
        SCOPED_TRACE(info.toString());
        TestSurface surface(800, 480);
        cairo_t* cr = surface.cairo();
        cairo_set_source_rgb(cr, 0.25, 0.5, 0.75);
        cairo_set_font_size(cr, 7);
        draw(surface, 200, 210);
        // The ink: inner pixels of neither the bar nor the back colour.
        int minX = 800, minY = 480, maxX = -1, maxY = -1, solid = 0;
        for (int y = 215; y < 265; ++y) {
            for (int x = 205; x < 595; ++x) {
                if (surface.isColor(x, y, barColor()) || surface.isColor(x, y, backColor())) continue;
                minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = y;
                solid += surface.isColor(x, y, topColor());
            }
        }
        ASSERT_GT(solid, 20) << "no text ink in the top colour (is a font installed?)";
        EXPECT_NEAR(400.0, (minX + maxX + 1) / 2.0, 1.0);
        EXPECT_NEAR(240.0, (minY + maxY + 1) / 2.0, 1.0);
        expectBar(surface, 200, 210, row.filled, minY, maxY);
        double red = 0, green = 0, blue = 0, alpha = 0;
        ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_pattern_get_rgba(cairo_get_source(cr), &red, &green, &blue, &alpha));
        EXPECT_TRUE(red == 0.25 && green == 0.5 && blue == 0.75) << red << " " << green << " " << blue;
        cairo_matrix_t font;
        cairo_get_font_matrix(cr, &font);
        EXPECT_EQ(7, font.xx);
        EXPECT_FALSE(cairo_has_current_point(cr));
    }
}

TEST_F(ProgressBar, WithoutCairoContextADrawOnlyLogs) {
    LogCapture capture;
    CProgressBarCairoWidget(context, info, kWidth, kHeight, kBorder, 48, backColor(), topColor(), barColor(), true)
        .draw(0, 0);
    EXPECT_EQ(1u, capture.count("NPluginUI::CProgressBarCairoWidget::draw", 0));
}

}  // namespace
}  // namespace NPluginUI
