// GoogleTest before Xlib, whose None macro would break its templates.
#include <gtest/gtest.h>

#include <cstring>

#include "plugin_base/papi_events.h"
#include "plugin_base/x11_event_translation.h"

namespace {

using NPluginX11::HookCall;

// A keyboard where keycode k types symbol 0x100 + k, and with Shift 0x200 + k;
// keycode 9 has no symbol.
KeySym fakeLookup(XKeyEvent* event, int index) {
    if (event->keycode == 9) return NoSymbol;
    return (index == 0 ? 0x100 : 0x200) + event->keycode;
}

XEvent event(int type) {
    XEvent e;
    std::memset(&e, 0, sizeof(e));
    e.type = type;
    return e;
}

XEvent expose(Drawable drawable, int x, int y, int width, int height) {
    XEvent e = event(GraphicsExpose);
    e.xgraphicsexpose.drawable = drawable;
    e.xgraphicsexpose.x = x;
    e.xgraphicsexpose.y = y;
    e.xgraphicsexpose.width = width;
    e.xgraphicsexpose.height = height;
    return e;
}

XEvent button(int type, int x, int y, unsigned int number) {
    XEvent e = event(type);
    e.xbutton.x = x;
    e.xbutton.y = y;
    e.xbutton.button = number;
    return e;
}

XEvent motion(int x, int y, unsigned int state) {
    XEvent e = event(MotionNotify);
    e.xmotion.x = x;
    e.xmotion.y = y;
    e.xmotion.state = state;
    return e;
}

XEvent key(int type, unsigned int keycode, unsigned int state) {
    XEvent e = event(type);
    e.xkey.keycode = keycode;
    e.xkey.state = state;
    return e;
}

struct Row {
    const char* name;
    XEvent input;
    HookCall::Kind kind;
    // DRAW: drawable, x, y, width, height; MOUSE: type, x, y, button;
    // KEY: modifiers, cap, sym, scan, flags.
    long a, b, c, d, e;
};

TEST(XEventTranslation, EachEventBecomesItsHookCallOrNothing) {
    const int down = PAPI_KEY_DOWN;
    const int scan = PAPI_KEY_SCAN_VALID;
    const int symbols = PAPI_KEY_CAP_VALID | PAPI_KEY_SYM_VALID;
    const Row rows[] = {
        {"expose", expose(0x4a00007, 10, 20, 300, 200), HookCall::DRAW, 0x4a00007, 10, 20, 300, 200},
        {"button press", button(ButtonPress, 15, -3, 1), HookCall::MOUSE, NPluginMouse::MOUSE_EVENT_PRESS, 15, -3,
         1, 0},
        {"button release", button(ButtonRelease, 40, 50, 3), HookCall::MOUSE, NPluginMouse::MOUSE_EVENT_RELEASE,
         40, 50, 3, 0},
        {"motion", motion(7, 8, ShiftMask), HookCall::MOUSE, NPluginMouse::MOUSE_EVENT_MOVE, 7, 8, 0, 0},
        {"drag, lowest held button", motion(7, 8, Button3Mask | Button2Mask), HookCall::MOUSE,
         NPluginMouse::MOUSE_EVENT_DRAG, 7, 8, 2, 0},
        {"key press", key(KeyPress, 38, 0), HookCall::KEY, 0, 0x126, 0x126, 38, down | scan | symbols},
        {"shifted key press", key(KeyPress, 38, ShiftMask), HookCall::KEY, PAPI_KEYMOD_SHIFT, 0x126, 0x226, 38,
         down | scan | symbols},
        {"key release with modifiers", key(KeyRelease, 38, ControlMask | Mod1Mask | LockMask | Mod2Mask),
         HookCall::KEY,
         PAPI_KEYMOD_CTRL | PAPI_KEYMOD_ALT | PAPI_KEYMOD_CAPS_LOCK | PAPI_KEYMOD_NUM_LOCK, 0x126, 0x126, 38,
         scan | symbols},
        {"key without a symbol", key(KeyPress, 9, 0), HookCall::KEY, 0, 0, 0, 9, down | scan},
        {"enter window", event(EnterNotify), HookCall::IGNORED, 0, 0, 0, 0, 0},
        {"focus", event(FocusIn), HookCall::IGNORED, 0, 0, 0, 0, 0},
        {"window expose", event(Expose), HookCall::IGNORED, 0, 0, 0, 0, 0},
        {"zeroed bytes", event(0), HookCall::IGNORED, 0, 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HookCall call = NPluginX11::translateXEvent(row.input, &fakeLookup);
        ASSERT_EQ(row.kind, call.kind);
        if (row.kind == HookCall::DRAW) {
            EXPECT_EQ(row.a, static_cast<long>(call.drawable));
            EXPECT_EQ(row.b, call.x);
            EXPECT_EQ(row.c, call.y);
            EXPECT_EQ(row.d, call.width);
            EXPECT_EQ(row.e, call.height);
        } else if (row.kind == HookCall::MOUSE) {
            EXPECT_EQ(row.a, call.mouseType);
            EXPECT_EQ(row.b, call.mouseX);
            EXPECT_EQ(row.c, call.mouseY);
            EXPECT_EQ(row.d, call.button);
            EXPECT_EQ(0, call.mouseFlags);
        } else if (row.kind == HookCall::KEY) {
            EXPECT_EQ(row.a, call.modifiers);
            EXPECT_EQ(row.b, call.cap);
            EXPECT_EQ(row.c, call.sym);
            EXPECT_EQ(row.d, call.scan);
            EXPECT_EQ(row.e, call.keyFlags);
        }
    }
}

}  // namespace
