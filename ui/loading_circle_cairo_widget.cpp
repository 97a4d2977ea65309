#include "ui/loading_circle_cairo_widget.h"

#include <cairo.h>

#include <cmath>

#include "log/logger.h"

namespace NPluginUI {

namespace {
constexpr int kFirstSegment = 10;
constexpr double kPi = 3.14159265358979323846;
constexpr double kSegmentAngle = kPi / 6;
// Half the gap between two segments, as an angle at the outer edge.
constexpr double kOuterHalfGap = kPi / 120;
}  // namespace

CLoadingCircleCairoWidget::CLoadingCircleCairoWidget(CCairoContext& context, int width, int height,
                                                     const CColor& topColor, const CColor& progressColor)
    : CWidget(width, height),
      mContext(context),
      mTopColor(topColor),
      mProgressColor(progressColor),
      mCurrentSegment(kFirstSegment) {}

CLoadingCircleCairoWidget::~CLoadingCircleCairoWidget() = default;

void CLoadingCircleCairoWidget::draw(int x, int y) {
    QV_LOG_ENTRY();
    cairo_t* cr = mContext.mCairo;
    if (cr == nullptr) return;

    const double width = mWidth;
    const double height = mHeight;
    const double outer = width < height ? width / 2 : height / 2;
    const double inner = 2 * outer / 3;
    const double centreX = x + width / 2;
    const double centreY = y + height / 2;

    // An empty or negative widget has no ring (and would give asin(0/0)).
    if (outer > 0) {
        // A path the caller left behind would be filled with the first segment.
        cairo_new_path(cr);
        // The inner half gap is wider as an angle so that both edges of a gap
        // stay parallel: the gap is 2R sin(g) wide at every radius.
        const double innerHalfGap = std::asin(outer * std::sin(kOuterHalfGap) / inner);
        for (int i = 0; i < kSegmentCount; ++i) {
            const CColor& color = i == mCurrentSegment ? mProgressColor : mTopColor;
            cairo_set_source_rgb(cr, color.getRed(), color.getGreen(), color.getBlue());
            const double a0 = i * kSegmentAngle;
            const double a1 = a0 + kSegmentAngle;
            cairo_arc(cr, centreX, centreY, outer, a0 + kOuterHalfGap, a1 - kOuterHalfGap);
            cairo_arc_negative(cr, centreX, centreY, inner, a1 - innerHalfGap, a0 + innerHalfGap);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
    }

    mCurrentSegment = (mCurrentSegment + 1) % kSegmentCount;
}

void CLoadingCircleCairoWidget::setProgressColor(CColor color) { mProgressColor = color; }

}  // namespace NPluginUI
