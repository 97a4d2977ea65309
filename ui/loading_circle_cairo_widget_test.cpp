#include "ui/loading_circle_cairo_widget.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/log_capture.h"
#include "ui/surface_test_util.h"

namespace NPluginUI {
namespace {

using test::barColor;
using test::errorColor;
using test::TestSurface;
using test::topColor;

constexpr double kPi = 3.14159265358979323846;
constexpr double kSegment = kPi / 6;

class LoadingCircle : public ::testing::Test {
protected:
    // The pixel containing the point at `radius` and `angle` (cairo angles)
    // around (cx, cy), plus `across` pixels perpendicular to that ray.
    static uint32_t at(TestSurface& surface, double cx, double cy, double radius, double angle, double across = 0) {
        double px = cx + radius * std::cos(angle) - across * std::sin(angle);
        double py = cy + radius * std::sin(angle) + across * std::cos(angle);
        return surface.pixel(static_cast<int>(std::floor(px)), static_cast<int>(std::floor(py)));
    }

    static bool colorAt(TestSurface& surface, double cx, double cy, double radius, double angle,
                        const CColor& color) {
        double px = cx + radius * std::cos(angle);
        double py = cy + radius * std::sin(angle);
        return surface.isColor(static_cast<int>(std::floor(px)), static_cast<int>(std::floor(py)), color);
    }

    // Draws once onto a fresh surface and returns the index of the one
    // highlighted segment, -1 if not exactly one segment has the highlight
    // and every other one the top colour.
    int drawAndFindHighlight(CLoadingCircleCairoWidget& circle) {
        TestSurface surface(240, 240);
        context.mCairo = surface.cairo();
        circle.draw(20, 20);
        context.mCairo = nullptr;
        int highlighted = -1;
        for (int i = 0; i < 12; ++i) {
            double middle = (i + 0.5) * kSegment;
            if (colorAt(surface, 120, 120, 250.0 / 3, middle, barColor())) {
                if (highlighted != -1) return -1;
                highlighted = i;
            } else if (!colorAt(surface, 120, 120, 250.0 / 3, middle, topColor())) {
                return -1;
            }
        }
        return highlighted;
    }

    CCairoContext context;
};

TEST_F(LoadingCircle, HighlightStartsAtSegmentTenAndAdvancesOnePerDraw) {
    CLoadingCircleCairoWidget circle(context, 200, 200, topColor(), barColor());
    EXPECT_EQ(10, drawAndFindHighlight(circle));
    EXPECT_EQ(11, drawAndFindHighlight(circle));
    EXPECT_EQ(0, drawAndFindHighlight(circle));
    EXPECT_EQ(1, drawAndFindHighlight(circle));
}

TEST_F(LoadingCircle, SegmentTenIsUpperRight) {
    CLoadingCircleCairoWidget circle(context, 200, 200, topColor(), barColor());
    TestSurface surface(200, 200);
    context.mCairo = surface.cairo();
    circle.draw(0, 0);
    // 315 degrees: right of and above the centre.
    EXPECT_TRUE(surface.isColor(100 + 59, 100 - 59, barColor()));
    EXPECT_TRUE(surface.isColor(100 - 59, 100 - 59, topColor()));
}

TEST_F(LoadingCircle, GapsBetweenSegmentsStayUntouched) {
    CLoadingCircleCairoWidget circle(context, 200, 200, topColor(), barColor());
    TestSurface surface(200, 200);
    context.mCairo = surface.cairo();
    circle.draw(0, 0);
    const double radii[] = {70, 250.0 / 3, 97};
    for (int i = 0; i < 12; ++i) {
        for (double radius : radii) {
            EXPECT_EQ(0u, at(surface, 100, 100, radius, i * kSegment)) << "gap " << i << " radius " << radius;
        }
        // Beyond the 2.6 pixel half gap, both neighbours are painted.
        EXPECT_NE(0u, at(surface, 100, 100, 250.0 / 3, i * kSegment, 4.5)) << "gap " << i;
        EXPECT_NE(0u, at(surface, 100, 100, 250.0 / 3, i * kSegment, -4.5)) << "gap " << i;
    }
    // Inside the inner radius and outside the outer one nothing is drawn.
    EXPECT_EQ(0u, surface.pixel(100, 100));
    EXPECT_EQ(0u, at(surface, 100, 100, 64, 0.5 * kSegment));
    EXPECT_EQ(0u, at(surface, 100, 100, 102, 0.5 * kSegment));
}

TEST_F(LoadingCircle, GapEdgesAreParallel) {
    // R 300, r 200: the gap is 15.7 pixels wide at both edges; a gap of
    // constant angle would be 10.5 pixels wide at the inner edge.
    CLoadingCircleCairoWidget circle(context, 600, 600, topColor(), barColor());
    TestSurface surface(600, 600);
    context.mCairo = surface.cairo();
    circle.draw(0, 0);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(0u, at(surface, 300, 300, 203, i * kSegment, 6.5)) << "gap " << i;
        EXPECT_EQ(0u, at(surface, 300, 300, 203, i * kSegment, -6.5)) << "gap " << i;
        EXPECT_EQ(0u, at(surface, 300, 300, 297, i * kSegment, 6.5)) << "gap " << i;
        EXPECT_NE(0u, at(surface, 300, 300, 203, i * kSegment, 9.5)) << "gap " << i;
        EXPECT_NE(0u, at(surface, 300, 300, 297, i * kSegment, -9.5)) << "gap " << i;
    }
}

TEST_F(LoadingCircle, WideWidgetTakesItsRadiusFromTheHeightAndIsCentred) {
    CLoadingCircleCairoWidget circle(context, 200, 100, topColor(), barColor());
    TestSurface surface(260, 160);
    context.mCairo = surface.cairo();
    circle.draw(30, 30);
    const double cx = 130, cy = 80;
    for (int i = 0; i < 12; ++i) {
        double middle = (i + 0.5) * kSegment;
        EXPECT_NE(0u, at(surface, cx, cy, 48.5, middle)) << i;
        EXPECT_EQ(0u, at(surface, cx, cy, 51.5, middle)) << i;
        EXPECT_NE(0u, at(surface, cx, cy, 100.0 / 3 + 1.5, middle)) << i;
        EXPECT_EQ(0u, at(surface, cx, cy, 100.0 / 3 - 1.5, middle)) << i;
    }
}

TEST_F(LoadingCircle, NoCairoContextDrawsNothingAndKeepsTheHighlight) {
    LogCapture capture;
    CLoadingCircleCairoWidget circle(context, 200, 200, topColor(), barColor());
    circle.draw(0, 0);
    circle.draw(0, 0);
    EXPECT_EQ(2u, capture.count("NPluginUI::CLoadingCircleCairoWidget::draw", 0));
    EXPECT_EQ(10, drawAndFindHighlight(circle));
}

TEST_F(LoadingCircle, ProgressColourChangeShowsAtTheNextDraw) {
    CLoadingCircleCairoWidget circle(context, 200, 200, topColor(), barColor());
    circle.setProgressColor(errorColor());
    TestSurface surface(200, 200);
    context.mCairo = surface.cairo();
    circle.draw(0, 0);
    EXPECT_TRUE(colorAt(surface, 100, 100, 250.0 / 3, 10.5 * kSegment, errorColor()));
    circle.setTopColor(barColor());
    circle.draw(0, 0);
    EXPECT_TRUE(colorAt(surface, 100, 100, 250.0 / 3, 11.5 * kSegment, errorColor()));
    EXPECT_TRUE(colorAt(surface, 100, 100, 250.0 / 3, 10.5 * kSegment, barColor()));
}

TEST_F(LoadingCircle, EmptyWidgetDrawsNothingAndKeepsTheContextUsable) {
    CLoadingCircleCairoWidget circle(context, 0, 0, topColor(), barColor());
    TestSurface surface(10, 10);
    context.mCairo = surface.cairo();
    circle.draw(5, 5);
    EXPECT_EQ(CAIRO_STATUS_SUCCESS, cairo_status(surface.cairo()));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) EXPECT_EQ(0u, surface.pixel(x, y));
    }
}

TEST_F(LoadingCircle, DestroyingThroughTheCairoBaseIsComplete) {
    // AddressSanitizer reports a mismatched or partial delete here.
    ICairoWidget* widget = new CLoadingCircleCairoWidget(context, 10, 10, topColor(), barColor());
    delete widget;
}

}  // namespace
}  // namespace NPluginUI
