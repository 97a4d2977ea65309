#include "ui/label_cairo_widget.h"

#include <cairo.h>

#include <cstring>

#include "ui/centred_text.h"

namespace NPluginUI {

CLabelCairoWidget::CLabelCairoWidget(CCairoContext& context, int width, int height, int fontSize,
                                     const CColor& textColor)
    : CWidget(width, height), mContext(context), mFontSize(fontSize), mTextColor(textColor) {
    mText[0] = '\0';
}

CLabelCairoWidget::~CLabelCairoWidget() = default;

void CLabelCairoWidget::setText(const char* text) {
    if (text == nullptr) text = "";
    std::strncpy(mText, text, kMaxText);
    mText[kMaxText] = '\0';
}

void CLabelCairoWidget::draw(int x, int y) {
    cairo_t* cr = mContext.mCairo;
    if (cr == nullptr || mText[0] == '\0' || mFontSize <= 0) return;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_set_source_rgb(cr, mTextColor.getRed(), mTextColor.getGreen(), mTextColor.getBlue());
    showCentredText(cr, x, y, mWidth, mHeight, mText, mFontSize);
    cairo_restore(cr);
}

}  // namespace NPluginUI
