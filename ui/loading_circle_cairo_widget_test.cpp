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
    double px = cx + radius * std::cos(angle) - across * std::sin(angle);
    double py = cy + radius * std::sin(angle) + across * std::cos(angle);
    return surface.pixel(static_cast<int>(std::floor(px)), static_cast<int>(std::floor(py)));
}

TEST(LoadingCircle, HighlightStartsUpperRightAndTurnsClockwiseOnePerDrawWithContext) {
    LogCapture capture;
    CCairoContext context;
    CLoadingCircleCairoWidget circle(context, 200, 200, topColor(), barColor());
    circle.draw(0, 0);  // no cairo context: nothing drawn, the highlight stays
    EXPECT_EQ(1u, capture.count("NPluginUI::CLoadingCircleCairoWidget::draw", 0));
    for (int expected : {10, 11, 0, 1, 2}) {
        if (expected == 2) circle.setProgressColor(errorColor());
        const CColor& lit = expected == 2 ? errorColor() : barColor();
        TestSurface surface(240, 240);
        cairo_rectangle(surface.cairo(), 0, 0, 3, 3);  // a path the host left: not to be filled
        context.mCairo = surface.cairo();
        circle.draw(20, 20);
        context.mCairo = nullptr;
        EXPECT_TRUE(surface.untouched(1, 1));
        for (int i = 0; i < 12; ++i) {
            uint32_t middle = at(surface, 120, 120, 250.0 / 3, (i + 0.5) * kSegment);
            EXPECT_TRUE(isColor(middle, i == expected ? lit : topColor())) << "segment " << i << " of " << expected;
        }
    }
}

TEST(LoadingCircle, RingFitsTheShorterSideAndItsGapsHaveParallelEdges) {
    CCairoContext context;
    TestSurface surface(600, 600);
    context.mCairo = surface.cairo();
    // R 300, r 200: a gap is 15.7 pixels wide at both edges (10.5 at the
    // inner edge if its angle were constant).
    CLoadingCircleCairoWidget(context, 600, 600, topColor(), barColor()).draw(0, 0);
    for (int i = 0; i < 12; ++i) {
        for (double radius : {203.0, 297.0}) {
            EXPECT_EQ(0u, at(surface, 300, 300, radius, i * kSegment, 6.5)) << "gap " << i << " at " << radius;
            EXPECT_EQ(0u, at(surface, 300, 300, radius, i * kSegment, -6.5)) << "gap " << i << " at " << radius;
            EXPECT_NE(0u, at(surface, 300, 300, radius, i * kSegment, 9.5)) << "gap " << i << " at " << radius;
            EXPECT_NE(0u, at(surface, 300, 300, radius, i * kSegment, -9.5)) << "gap " << i << " at " << radius;
        }
    }
    TestSurface wide(260, 160);
    context.mCairo = wide.cairo();
    CLoadingCircleCairoWidget(context, 200, 100, topColor(), barColor()).draw(30, 30);
    for (int i = 0; i < 12; ++i) {
        double middle = (i + 0.5) * kSegment;
        EXPECT_NE(0u, at(wide, 130, 80, 48.5, middle)) << i;
        EXPECT_EQ(0u, at(wide, 130, 80, 51.5, middle)) << i;
        EXPECT_NE(0u, at(wide, 130, 80, 100.0 / 3 + 1.5, middle)) << i;
        EXPECT_EQ(0u, at(wide, 130, 80, 100.0 / 3 - 1.5, middle)) << i;
    }
    TestSurface small(10, 10);
    context.mCairo = small.cairo();
    CLoadingCircleCairoWidget(context, 0, 0, topColor(), barColor()).draw(5, 5);  // no ring, no NaN
    EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(small.cairo()));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) EXPECT_TRUE(small.untouched(x, y));
    }
}

}  // namespace
}  // namespace NPluginUI
