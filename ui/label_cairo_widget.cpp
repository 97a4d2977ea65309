#include "ui/label_cairo_widget.h"

#include <cairo.h>

#include <cstring>

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
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, mFontSize);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, mText, &extents);
    cairo_move_to(cr, x + mWidth / 2.0 - (extents.x_bearing + extents.width / 2),
                  y + mHeight / 2.0 - (extents.y_bearing + extents.height / 2));
    cairo_show_text(cr, mText);
    cairo_new_path(cr);
    cairo_restore(cr);
}

}  // namespace NPluginUI
