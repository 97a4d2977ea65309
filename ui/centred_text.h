// One line of text with its ink box (not its advance box, so "..." sits in
// the middle too) centred in a box, in the context's current source, in a
// normal "sans-serif" face of the given size. Leaves no current point behind
// (cairo_restore would not undo it). Allocates nothing of its own.
#pragma once

typedef struct _cairo cairo_t;

namespace NPluginUI {

void showCentredText(cairo_t* cr, double x, double y, double width, double height, const char* text, int fontSize);

}  // namespace NPluginUI
