#include "ui/progress_bar_cairo_widget.h"

#include <cairo.h>

#include <cmath>

#include "log/logger.h"
#include "ui/centred_text.h"

namespace NPluginUI {

namespace {
void setSourceColor(cairo_t* cr, const CColor& color) {
    cairo_set_source_rgb(cr, color.getRed(), color.getGreen(), color.getBlue());
}
}  // namespace

CProgressBarCairoWidget::CProgressBarCairoWidget(CCairoContext& context, const IProgressInfo& info, int width,
                                                 int height, int borderThickness, int fontSize,
                                                 const CColor& backColor, const CColor& topColor,
                                                 const CColor& barColor, bool showText)
    : CWidget(width, height),
      mContext(context),
      mProgressInfo(info),
      mBorderThickness(borderThickness),
      mFontSize(fontSize),
      mBackColor(backColor),
      mTopColor(topColor),
      mBarColor(barColor),
      mShowText(showText) {}

CProgressBarCairoWidget::~CProgressBarCairoWidget() = default;

void CProgressBarCairoWidget::draw(int x, int y) {
    QV_LOG_ENTRY();
    cairo_t* cr = mContext.mCairo;
    if (cr == nullptr) return;

    double size = mProgressInfo.getSize();
    double fraction = size > 0 ? mProgressInfo.getPosition() / size : 0.0;
    // An infinite or NaN width would turn into garbage fixed-point
    // coordinates inside cairo and paint over the whole surface.
    if (!std::isfinite(fraction)) fraction = 0.0;

    const double left = x;
    const double top = y;
    const double width = mWidth;
    const double height = mHeight;
    const double border = mBorderThickness;
    const double innerWidth = width - 2 * border;
    const double innerHeight = height - 2 * border;
    const double barWidth = std::floor(0.5 + innerWidth * fraction);

    cairo_save(cr);
    // A path the caller left behind would be filled with the frame.
    cairo_new_path(cr);

    setSourceColor(cr, mTopColor);
    cairo_rectangle(cr, left, top, width, height);
    cairo_fill(cr);

    setSourceColor(cr, mBarColor);
    cairo_rectangle(cr, left + border, top + border, barWidth, innerHeight);
    cairo_fill(cr);

    setSourceColor(cr, mBackColor);
    cairo_rectangle(cr, left + border + barWidth, top + border, innerWidth - barWidth, innerHeight);
    cairo_fill(cr);

    if (mShowText && mFontSize > 0) {
        const char* text = mProgressInfo.toString();
        if (text != nullptr) drawText(left, top, width, height, text);
    }

    cairo_restore(cr);
}

void CProgressBarCairoWidget::drawText(double x, double y, double width, double height, const char* text) {
    cairo_t* cr = mContext.mCairo;
    setSourceColor(cr, mTopColor);
    showCentredText(cr, x, y, width, height, text, mFontSize);
}

void CProgressBarCairoWidget::setBarColor(CColor color) { mBarColor = color; }

}  // namespace NPluginUI
