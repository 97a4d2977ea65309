// CLabelCairoWidget: one line of text, its ink box centred in the widget,
// in a "sans-serif" face of the given size and colour. Shows a short message
// (such as "Bad content") inside the plug-in's area.
//
// setText copies the text into the widget (at most kMaxText bytes; longer
// text is cut), so draw allocates nothing on the heap. draw leaves the cairo
// state as it found it and draws nothing while the text is empty or the
// context holds no cairo context. Plug-in thread only.
#pragma once

#include "ui/cairo_context.h"
#include "ui/color.h"
#include "ui/i_cairo_widget.h"
#include "ui/widget.h"

namespace NPluginUI {

class CLabelCairoWidget : public CWidget, public ICairoWidget {
public:
    static const int kMaxText = 127;

    CLabelCairoWidget(CCairoContext& context, int width, int height, int fontSize, const CColor& textColor);
    ~CLabelCairoWidget() override;

    void draw(int x, int y) override;

    // Null clears the text.
    void setText(const char* text);
    const char* getText() const { return mText; }

private:
    CCairoContext& mContext;
    int mFontSize;
    CColor mTextColor;
    char mText[kMaxText + 1];
};

}  // namespace NPluginUI
