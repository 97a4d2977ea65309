// The X11 event model of _CQVPluginBase: what a stock Unix browser without
// the private host extension sends a windowless plug-in. Built only with X11
// support (RRZ_X11).
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>

#include "log/logger.h"
#include "plugin_base/npapi_x11.h"
#include "plugin_base/npn_wrappers.h"
#include "plugin_base/qv_plugin_base.h"
#include "plugin_base/x11_event_translation.h"

namespace {
KeySym lookupKeySym(XKeyEvent* event, int index) {
    return event->display != nullptr ? XLookupKeysym(event, index) : NoSymbol;
}

Display* browserDisplay(NPP instance) {
    Display* display = nullptr;
    if (NPN_GetValue(instance, NPNVxDisplay, &display) != NPERR_NO_ERROR) return nullptr;
    return display;
}

// The part of a rectangle inside another; empty (0 x 0) when they miss.
CPluginRect intersection(int x, int y, int width, int height, CPluginRect& area) {
    int left = std::max(x, static_cast<int>(area.getLeft()));
    int top = std::max(y, static_cast<int>(area.getTop()));
    int right = std::min(x + width, static_cast<int>(area.getRight()));
    int bottom = std::min(y + height, static_cast<int>(area.getBottom()));
    if (right <= left || bottom <= top) return CPluginRect(static_cast<Int16>(left), static_cast<Int16>(top), 0, 0);
    return CPluginRect(static_cast<Int16>(left), static_cast<Int16>(top), static_cast<UInt16>(right - left),
                       static_cast<UInt16>(bottom - top));
}
}  // namespace

uint16_t _CQVPluginBase::handleWindowSystemEvent(void* event) {
    if (event == nullptr) {
        QV_LOG(LogMessage::MESSAGE, "Error: received NULL event!");
        return 0;
    }
    XEvent xevent = *static_cast<XEvent*>(event);
    // Xlib's key lookup needs the event's display; browsers may leave it
    // empty in the events they make up for windowless plug-ins.
    if ((xevent.type == KeyPress || xevent.type == KeyRelease) && xevent.xkey.display == nullptr) {
        xevent.xkey.display = browserDisplay(mInstance);
    }
    NPluginX11::HookCall call = NPluginX11::translateXEvent(xevent, &lookupKeySym);
    switch (call.kind) {
        case NPluginX11::HookCall::MOUSE:
            return onMouse(call.mouseType, call.mouseX, call.mouseY, call.button, call.mouseFlags) ? 1 : 0;
        case NPluginX11::HookCall::KEY:
            return onKey(call.modifiers, call.cap, call.sym, call.scan, call.keyFlags) ? 1 : 0;
        case NPluginX11::HookCall::IGNORED:
            return 0;
        case NPluginX11::HookCall::DRAW:
            break;
    }

    if (!mInitialized) {
        QV_LOG(LogMessage::MESSAGE, "Error: received GraphicsExpose, but not initialized yet!");
        return 0;
    }
    const NPSetWindowCallbackStruct* info = static_cast<const NPSetWindowCallbackStruct*>(mLastWindow.ws_info);
    Display* display = browserDisplay(mInstance);
    if (display == nullptr || info == nullptr || info->visual == nullptr || call.drawable == 0) {
        QV_LOG(LogMessage::ERROR, "Error: cannot draw: display=%p, window-system data=%p, drawable=0x%lx",
               static_cast<void*>(display), static_cast<const void*>(info), static_cast<unsigned long>(call.drawable));
        return 0;
    }
    // The plug-in's area inside the drawable, and the part of it exposed.
    // Some browsers give the exposed rectangle's right and bottom edges as
    // its width and height; the intersection makes both readings safe.
    CPluginRect plugin(static_cast<Int16>(mLastWindow.x), static_cast<Int16>(mLastWindow.y),
                       static_cast<UInt16>(mLastWindow.width), static_cast<UInt16>(mLastWindow.height));
    CPluginRect exposed(static_cast<Int16>(call.x), static_cast<Int16>(call.y), static_cast<UInt16>(call.width),
                        static_cast<UInt16>(call.height));
    CPluginRect clip = intersection(call.x, call.y, call.width, call.height, plugin);
    QV_LOG(LogMessage::MESSAGE, "drawable=0x%lx depth=%u exposed: x=%d y=%d width=%d height=%d",
           static_cast<unsigned long>(call.drawable), info->depth, call.x, call.y, call.width, call.height);
    if (clip.getWidth() == 0 || clip.getHeight() == 0) return onDraw(plugin, plugin, clip, exposed) ? 1 : 0;

    cairo_surface_t* surface =
        cairo_xlib_surface_create(display, call.drawable, info->visual, plugin.getRight(), plugin.getBottom());
    cairo_t* cairo = cairo_create(surface);
    uint16_t result = 0;
    if (cairo_status(cairo) != CAIRO_STATUS_SUCCESS) {
        QV_LOG(LogMessage::ERROR, "Error: no cairo context on drawable 0x%lx: %s",
               static_cast<unsigned long>(call.drawable), cairo_status_to_string(cairo_status(cairo)));
    } else {
        cairo_rectangle(cairo, clip.getX(), clip.getY(), clip.getWidth(), clip.getHeight());
        cairo_clip(cairo);
        result = onDraw(cairo, plugin, plugin, clip, exposed) ? 1 : 0;
    }
    cairo_destroy(cairo);
    // Everything reaches the X server's queue before the browser reads the
    // drawable back.
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    XFlush(display);
    return onDraw(plugin, plugin, clip, exposed) ? result : 0;
}
