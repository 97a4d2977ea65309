#include "ui/progress_bar_cairo_widget.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/log_capture.h"
#include "ui/progress_info.h"
#include "ui/surface_test_util.h"

namespace NPluginUI {
namespace {

using test::backColor;
using test::barColor;
using test::errorColor;
using test::TestSurface;
using test::topColor;

constexpr int kWidth = 400;
constexpr int kHeight = 60;
constexpr int kBorder = 5;
constexpr int kInnerWidth = kWidth - 2 * kBorder;

class NullTextInfo : public IProgressInfo {
public:
    double getPosition() const override { return 1; }
    double getSize() const override { return 2; }
    const char* toString() const override { return nullptr; }
};

// The instance's bar: 400 x 60, border 5, font size 48, text shown.
class ProgressBar : public ::testing::Test {
protected:
    ProgressBar() : bar(context, info, kWidth, kHeight, kBorder, 48, backColor(), topColor(), barColor(), true) {}

    void drawAt(TestSurface& surface, int x, int y) {
        context.mCairo = surface.cairo();
        bar.draw(x, y);
        context.mCairo = nullptr;
    }

    // Columns of the inner row `row` (0-based inside the inner area) with
    // the bar colour, checking that every other inner pixel has the back
    // colour and that bar pixels come first.
    int filledColumns(TestSurface& surface, int x, int y, int row) {
        int filled = 0;
        for (int i = 0; i < kInnerWidth; ++i) {
            if (surface.isColor(x + kBorder + i, y + kBorder + row, barColor())) {
                EXPECT_EQ(filled, i) << "bar pixel after a back pixel at column " << i;
                ++filled;
            } else {
                EXPECT_TRUE(surface.isColor(x + kBorder + i, y + kBorder + row, backColor())) << "column " << i;
            }
        }
        return filled;
    }

    // Every pixel of the widget is one of the three rectangles with `filled`
    // bar columns, and nothing around it is touched.
    void expectRectanglesOnly(TestSurface& surface, int x, int y, int filled) {
        for (int py = 0; py < surface.height(); ++py) {
            for (int px = 0; px < surface.width(); ++px) {
                int wx = px - x;
                int wy = py - y;
                if (wx < 0 || wy < 0 || wx >= kWidth || wy >= kHeight) {
                    ASSERT_TRUE(surface.untouched(px, py)) << px << "," << py;
                } else if (wx < kBorder || wy < kBorder || wx >= kWidth - kBorder || wy >= kHeight - kBorder) {
                    ASSERT_TRUE(surface.isColor(px, py, topColor())) << px << "," << py;
                } else if (wx - kBorder < filled) {
                    ASSERT_TRUE(surface.isColor(px, py, barColor())) << px << "," << py;
                } else {
                    ASSERT_TRUE(surface.isColor(px, py, backColor())) << px << "," << py;
                }
            }
        }
    }

    // The ink of the text over the inner area; fails the test if there is none.
    void expectInkCentred(TestSurface& surface, int x, int y) {
        int minX = 0, minY = 0, maxX = 0, maxY = 0;
        ASSERT_TRUE(surface.inkBounds(x + kBorder, y + kBorder, x + kWidth - kBorder, y + kHeight - kBorder,
                                      barColor(), backColor(), minX, minY, maxX, maxY))
            << "no text ink (is a font installed?)";
        double inkCentreX = (minX + maxX + 1) / 2.0;
        double inkCentreY = (minY + maxY + 1) / 2.0;
        EXPECT_NEAR(x + kWidth / 2.0, inkCentreX, 1.0);
        EXPECT_NEAR(y + kHeight / 2.0, inkCentreY, 1.0);
    }

    CCairoContext context;
    CProgressInfo info;
    CProgressBarCairoWidget bar;
};

TEST_F(ProgressBar, HalfTheSizeFillsHalfTheInnerArea) {
    info.setSize(1000);
    info.setPosition(500);
    bar.showText(false);
    TestSurface surface(440, 80);
    drawAt(surface, 20, 10);
    expectRectanglesOnly(surface, 20, 10, 195);
}

TEST_F(ProgressBar, HalfTheSizeWithTextKeepsBarAndBackColumnsAroundTheText) {
    info.setSize(1000);
    info.setPosition(500);
    TestSurface surface(440, 80);
    drawAt(surface, 20, 10);
    // The text lies in the middle rows; the first inner row is clear of it.
    EXPECT_EQ(195, filledColumns(surface, 20, 10, 0));
    EXPECT_EQ(195, filledColumns(surface, 20, 10, kHeight - 2 * kBorder - 1));
    EXPECT_TRUE(surface.isColor(20, 10, topColor()));
    EXPECT_TRUE(surface.isColor(20 + kWidth - 1, 10 + kHeight - 1, topColor()));
    EXPECT_TRUE(surface.isColor(20 + kBorder - 1, 40, topColor()));
    EXPECT_TRUE(surface.isColor(20 + kWidth - kBorder, 40, topColor()));
    EXPECT_TRUE(surface.untouched(19, 40));
    EXPECT_TRUE(surface.untouched(20 + kWidth, 40));
}

TEST_F(ProgressBar, FillRoundsHalfUpToWholePixels) {
    bar.showText(false);
    TestSurface surface(400, 60);
    info.setSize(400);
    info.setPosition(1);  // 0.975 pixels
    drawAt(surface, 0, 0);
    EXPECT_EQ(1, filledColumns(surface, 0, 0, 0));

    info.setSize(780);  // exactly 0.5 pixels
    drawAt(surface, 0, 0);
    EXPECT_EQ(1, filledColumns(surface, 0, 0, 0));

    info.setSize(781);  // just under 0.5 pixels
    drawAt(surface, 0, 0);
    EXPECT_EQ(0, filledColumns(surface, 0, 0, 0));
}

TEST_F(ProgressBar, UnknownSizeFillsNothingAndShowsDots) {
    info.setPosition(12345);
    TestSurface surface(400, 60);
    drawAt(surface, 0, 0);
    EXPECT_STREQ("...", info.toString());
    EXPECT_EQ(0, filledColumns(surface, 0, 0, 0));
    expectInkCentred(surface, 0, 0);
}

TEST_F(ProgressBar, PositionBeyondSizeOverflowsUnclamped) {
    info.setSize(400);
    info.setPosition(600);  // 585 of 390 columns
    bar.showText(false);
    const int x = 100, y = 10;
    TestSurface surface(800, 80);
    drawAt(surface, x, y);
    const int row = y + 30;
    for (int i = kBorder; i < kWidth - kBorder; ++i) {
        ASSERT_TRUE(surface.isColor(x + i, row, barColor())) << i;
    }
    // The unfilled part has width 390 - 585: back colour from the end of the
    // filled part back to the end of the inner area, over the right frame.
    for (int i = kWidth - kBorder; i < kBorder + 585; ++i) {
        ASSERT_TRUE(surface.isColor(x + i, row, backColor())) << i;
    }
    EXPECT_TRUE(surface.untouched(x + kBorder + 585, row));
    EXPECT_TRUE(surface.isColor(x + kWidth - 1, y, topColor()));
    EXPECT_TRUE(surface.untouched(x + kWidth, y));
}

TEST_F(ProgressBar, WithoutTextDrawsOnlyTheRectangles) {
    info.setSize(10);
    info.setPosition(3);
    bar.showText(false);
    TestSurface surface(440, 80);
    drawAt(surface, 7, 9);
    expectRectanglesOnly(surface, 7, 9, 117);
}

TEST_F(ProgressBar, NullTextDrawsOnlyTheRectangles) {
    NullTextInfo nullText;
    CProgressBarCairoWidget widget(context, nullText, kWidth, kHeight, kBorder, 48, backColor(), topColor(),
                                   barColor(), true);
    TestSurface surface(440, 80);
    context.mCairo = surface.cairo();
    widget.draw(20, 10);
    expectRectanglesOnly(surface, 20, 10, 195);
}

TEST_F(ProgressBar, ZeroFontSizeDrawsNoTextAndKeepsTheContextUsable) {
    info.setSize(10);
    info.setPosition(3);
    bar.setFontSize(0);
    TestSurface surface(440, 80);
    drawAt(surface, 20, 10);
    EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(surface.cairo()));
    expectRectanglesOnly(surface, 20, 10, 117);
}

TEST_F(ProgressBar, TextInkIsCentred) {
    info.setSize(1000);
    const double positions[] = {500, 1000, 70};
    for (double position : positions) {
        info.setPosition(position);
        TestSurface surface(800, 480);
        drawAt(surface, 200, 210);
        SCOPED_TRACE(info.toString());
        expectInkCentred(surface, 200, 210);
    }
}

TEST_F(ProgressBar, TextIsDrawnInTheTopColour) {
    info.setSize(1000);
    info.setPosition(1000);
    TestSurface surface(400, 60);
    drawAt(surface, 0, 0);
    int solid = 0;
    for (int y = kBorder; y < kHeight - kBorder; ++y) {
        for (int x = kBorder; x < kWidth - kBorder; ++x) {
            if (surface.isColor(x, y, topColor())) ++solid;
        }
    }
    EXPECT_GT(solid, 20);
}

TEST_F(ProgressBar, SettersTakeEffectAtTheNextDraw) {
    info.setSize(100);
    info.setPosition(50);
    bar.showText(false);
    bar.setBarColor(errorColor());
    bar.setBackColor(topColor());
    bar.setTopColor(backColor());
    bar.setBorderThickness(10);
    TestSurface surface(400, 60);
    drawAt(surface, 0, 0);
    EXPECT_TRUE(surface.isColor(9, 30, backColor()));
    EXPECT_TRUE(surface.isColor(10, 30, errorColor()));
    EXPECT_TRUE(surface.isColor(10 + 189, 30, errorColor()));
    EXPECT_TRUE(surface.isColor(10 + 190, 30, topColor()));
    EXPECT_TRUE(surface.isColor(389, 30, topColor()));
    EXPECT_TRUE(surface.isColor(390, 30, backColor()));
}

TEST_F(ProgressBar, LeavesTheCallersCairoStateAsItWas) {
    info.setSize(2);
    info.setPosition(1);
    TestSurface surface(400, 60);
    cairo_t* cr = surface.cairo();
    cairo_set_source_rgb(cr, 0.25, 0.5, 0.75);
    cairo_set_font_size(cr, 7);
    context.mCairo = cr;
    bar.draw(0, 0);
    double red = 0, green = 0, blue = 0, alpha = 0;
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_pattern_get_rgba(cairo_get_source(cr), &red, &green, &blue, &alpha));
    EXPECT_EQ(0.25, red);
    EXPECT_EQ(0.5, green);
    EXPECT_EQ(0.75, blue);
    cairo_matrix_t font;
    cairo_get_font_matrix(cr, &font);
    EXPECT_EQ(7, font.xx);
    EXPECT_FALSE(cairo_has_current_point(cr));
    EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(cr));
}

TEST_F(ProgressBar, DrawWithoutCairoContextOnlyLogs) {
    LogCapture capture;
    info.setSize(2);
    info.setPosition(1);
    TestSurface surface(400, 60);
    bar.draw(0, 0);
    EXPECT_TRUE(surface.untouched(0, 0));
    EXPECT_EQ(1u, capture.count("NPluginUI::CProgressBarCairoWidget::draw", 0));
    drawAt(surface, 0, 0);
    EXPECT_EQ(2u, capture.count("NPluginUI::CProgressBarCairoWidget::draw", 0));
    EXPECT_TRUE(surface.isColor(0, 0, topColor()));
}

TEST_F(ProgressBar, DestroyingThroughTheCairoBaseIsComplete) {
    ICairoWidget* widget = new CProgressBarCairoWidget(context, info, 10, 10, 1, 8, backColor(), topColor(),
                                                       barColor(), true);
    delete widget;
}

}  // namespace
}  // namespace NPluginUI
