#include "ui/i_cairo_widget.h"

namespace NPluginUI {

// Pure, yet derived destructors call it.
ICairoWidget::~ICairoWidget() = default;

}  // namespace NPluginUI
