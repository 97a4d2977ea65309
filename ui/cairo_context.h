// CCairoContext: the cairo context that the widgets of one owner draw into.
// The owner stores the context of the current draw event in mCairo before it
// draws any widget; each widget keeps a reference to the one CCairoContext it
// was built with and reads mCairo when it draws. A null mCairo means there is
// nothing to draw into. No reference on the cairo context is taken or
// released. Plug-in thread only.
#pragma once

typedef struct _cairo cairo_t;

namespace NPluginUI {

class CCairoContext {
public:
    CCairoContext();
    virtual ~CCairoContext();

    cairo_t* mCairo;

    CCairoContext(const CCairoContext&) = delete;
    CCairoContext& operator=(const CCairoContext&) = delete;
};

}  // namespace NPluginUI
