// CProgressBarCairoWidget: a framed horizontal bar with a centred progress
// text. The whole widget is filled in the top colour (the frame), the inner
// area (the widget less mBorderThickness on every side) is split into a filled
// part in the bar colour, position / size of its width rounded half up to
// whole pixels, and the rest in the back colour; the source's text is drawn
// in the top colour with its ink box centred in the widget. Neither the
// fraction nor the rectangles are clamped: a position beyond the size paints
// the filled part past the inner area and back colour from there back to the
// inner area's end.
//
// The context and the progress source belong to the caller and must outlive
// the widget. draw allocates nothing on the heap, leaves the cairo state as it
// found it, and does nothing while the context holds no cairo context.
// A font size of 0 or less shows no text (cairo cannot scale a font by 0).
// setBarColor takes effect at the next draw. Plug-in thread only.
#pragma once

#include "ui/cairo_context.h"
#include "ui/color.h"
#include "ui/i_cairo_widget.h"
#include "ui/i_progress_info.h"
#include "ui/widget.h"

namespace NPluginUI {

class CProgressBarCairoWidget : public CWidget, public ICairoWidget {
public:
    CProgressBarCairoWidget(CCairoContext& context, const IProgressInfo& info, int width, int height,
                            int borderThickness, int fontSize, const CColor& backColor, const CColor& topColor,
                            const CColor& barColor, bool showText);
    ~CProgressBarCairoWidget() override;

    void draw(int x, int y) override;

    virtual void setBarColor(CColor color);

private:
    void drawText(double x, double y, double width, double height, const char* text);

    CCairoContext& mContext;
    const IProgressInfo& mProgressInfo;
    int mBorderThickness;
    int mFontSize;
    CColor mBackColor;
    CColor mTopColor;
    CColor mBarColor;
    bool mShowText;
};

}  // namespace NPluginUI
