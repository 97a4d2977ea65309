// The loading circle's pixels: which segment is lit, and the ring's shape.
#include "ui/loading_circle_cairo_widget.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/log_capture.h"
#include "ui/surface_test_util.h"

namespace NPluginUI {
namespace {

using namespace test;

constexpr double kSegment = 3.14159265358979323846 / 6;

// The pixel at `radius` and `angle` (cairo's) around (cx, cy), moved `across`
// pixels perpendicular to that ray.
uint32_t at(TestSurface& surface, double cx, double cy, double radius, double angle, double across = 0) {
    return surface.pixel(static_cast<int>(std::floor(cx + radius * std::cos(angle) - across * std::sin(angle))),
                         static_cast<int>(std::floor(cy + radius * std::sin(angle) + across * std::cos(angle))));
}

TEST(LoadingCircle, HighlightStartsUpperRightAndTurnsClockwiseOnePerDrawWithContext) {
    LogCapture capture;
    CCairoContext context;
    CLoadingCircleCairoWidget circle(context, 200, 200, topColor(), barColor());
    circle.draw(0, 0);  // no cairo context: nothing drawn, the highlight stays
    EXPECT_EQ(1u, capture.count("NPluginUI::CLoadingCircleCairoWidget::draw", 0));
    for (int lit : {10, 11, 0, 1, 2}) {
        if (lit == 2) circle.setProgressColor(errorColor());
        TestSurface surface(240, 240);
        cairo_rectangle(surface.cairo(), 0, 0, 3, 3);  // a path the host left: not to be filled
        context.mCairo = surface.cairo();
        circle.draw(20, 20);
        EXPECT_TRUE(surface.untouched(1, 1));
        for (int i = 0; i < 12; ++i) {
            const CColor& expected = i != lit ? topColor() : lit == 2 ? errorColor() : barColor();
            EXPECT_TRUE(isColor(at(surface, 120, 120, 250.0 / 3, (i + 0.5) * kSegment), expected))
                << "segment " << i << " when " << lit << " is lit";
        }
    }
}

TEST(LoadingCircle, RingFitsTheShorterSideWithGapsBetweenTheSegments) {
    CCairoContext context;
    TestSurface surface(600, 600), wide(260, 160), empty(10, 10);
    context.mCairo = surface.cairo();
    CLoadingCircleCairoWidget(context, 600, 600, topColor(), barColor()).draw(0, 0);
    context.mCairo = wide.cairo();
    CLoadingCircleCairoWidget(context, 200, 100, topColor(), barColor()).draw(30, 30);
    context.mCairo = empty.cairo();
    CLoadingCircleCairoWidget(context, 0, 0, topColor(), barColor()).draw(5, 5);  // no ring, no NaN
    EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(empty.cairo()));
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(empty.untouched(i % 10, i / 10));
    for (int i = 0; i < 12; ++i) {
        for (double side : {-1.0, 1.0}) {  // R 300: the gaps are 15.7 pixels wide
            EXPECT_EQ(0u, at(surface, 300, 300, 297, i * kSegment, 6.5 * side)) << "gap " << i;
            EXPECT_NE(0u, at(surface, 300, 300, 297, i * kSegment, 9.5 * side)) << "gap " << i;
        }
        // 200 x 100 at (30, 30): R 50 from the height, r 33.3, centred.
        double middle = (i + 0.5) * kSegment;
        EXPECT_TRUE(at(wide, 130, 80, 48.5, middle) && !at(wide, 130, 80, 51.5, middle)) << i;
        EXPECT_TRUE(at(wide, 130, 80, 100.0 / 3 + 1.5, middle) && !at(wide, 130, 80, 100.0 / 3 - 1.5, middle)) << i;
    }
}

}  // namespace
}  // namespace NPluginUI
