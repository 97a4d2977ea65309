#include "ui/centred_text.h"

#include <cairo.h>

namespace NPluginUI {

void showCentredText(cairo_t* cr, double x, double y, double width, double height, const char* text, int fontSize) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, fontSize);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    cairo_move_to(cr, x + width / 2 - (extents.x_bearing + extents.width / 2),
                  y + height / 2 - (extents.y_bearing + extents.height / 2));
    cairo_show_text(cr, text);
    cairo_new_path(cr);
}

}  // namespace NPluginUI
