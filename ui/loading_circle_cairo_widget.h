// CLoadingCircleCairoWidget: a ring of twelve segments, one of them
// highlighted, the highlight moving one segment further on every draw.
// The ring is centred in the widget; its outer radius R is half the smaller
// side, its inner radius 2R/3. Segment i spans i x 30 to (i + 1) x 30 degrees
// in cairo's angles (0 along +x, growing toward +y, which points down); the
// gaps between segments have parallel edges, 2R x sin(1.5 degrees) wide.
// The first draw after construction highlights segment 10 (upper right).
//
// The context belongs to the caller and must outlive the widget. draw
// allocates nothing on the heap; while the context holds no cairo context it
// draws nothing and the highlight stays. draw does not save or restore the
// cairo state: the last source colour stays set. Plug-in thread only.
#pragma once

#include "ui/cairo_context.h"
#include "ui/color.h"
#include "ui/i_cairo_widget.h"
#include "ui/widget.h"

namespace NPluginUI {

class CLoadingCircleCairoWidget : public CWidget, public ICairoWidget {
public:
    static const int kSegmentCount = 12;

    CLoadingCircleCairoWidget(CCairoContext& context, int width, int height, const CColor& topColor,
                              const CColor& progressColor);
    ~CLoadingCircleCairoWidget() override;

    void draw(int x, int y) override;

    // Colour of the highlighted segment.
    virtual void setProgressColor(CColor color);

private:
    CCairoContext& mContext;
    CColor mTopColor;
    CColor mProgressColor;
    int mCurrentSegment;
};

}  // namespace NPluginUI
