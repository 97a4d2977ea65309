#include "ui/cairo_context.h"

namespace NPluginUI {

CCairoContext::CCairoContext() : mCairo(nullptr) {}

CCairoContext::~CCairoContext() { mCairo = nullptr; }

}  // namespace NPluginUI
