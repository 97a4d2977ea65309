// XEvents of a stock Unix browser (the X11 event model of windowless
// plug-ins) turned into the calls the instance base makes on its hooks:
// GraphicsExpose becomes a draw of the exposed area of the drawable, button
// and motion events become mouse calls, key events become key calls with
// fields and flag bits as the host's key records carry them. Every other
// event has no counterpart and is ignored.
//
// Pure: no Xlib call except through the key-symbol lookup the caller hands
// in. Any thread.
#pragma once

#include "plugin_base/mouse_event_type.h"
#include "plugin_base/npapi_x11.h"
#include "platform/qv_types.h"

namespace NPluginX11 {

struct HookCall {
    enum Kind { IGNORED, DRAW, MOUSE, KEY };
    Kind kind = IGNORED;

    // DRAW: the drawable and its exposed area, as the browser gave them.
    Drawable drawable = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    // MOUSE: onMouse(type, x, y, button, flags).
    NPluginMouse::eMouseEventType mouseType = NPluginMouse::MOUSE_EVENT_OTHER;
    Int16 mouseX = 0;
    Int16 mouseY = 0;
    UInt16 button = 0;
    UInt16 mouseFlags = 0;

    // KEY: onKey(modifiers, cap, sym, scan, flags).
    Int32 modifiers = 0;
    Int32 cap = 0;
    Int32 sym = 0;
    Int32 scan = 0;
    Int32 keyFlags = 0;
};

// The key symbol of a key event: index 0 without Shift, 1 with it; NoSymbol
// when there is none. Production passes XLookupKeysym.
typedef KeySym (*KeySymLookup)(XKeyEvent* event, int index);

HookCall translateXEvent(const XEvent& event, KeySymLookup lookup);

}  // namespace NPluginX11
