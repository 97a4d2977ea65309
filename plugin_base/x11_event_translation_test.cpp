// The X11 events of a stock browser as the host's hook calls.
// GoogleTest before Xlib, whose None macro would break its templates.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "plugin_base/x11_event_translation.h"

namespace {

using NPluginX11::HookCall;

// A keyboard where keycode k types symbol 0x100 + k, and with Shift 0x200 + k;
// keycode 9 has no symbol.
KeySym fakeLookup(XKeyEvent* event, int index) {
    return event->keycode == 9 ? NoSymbol : (index == 0 ? 0x100 : 0x200) + event->keycode;
}

// An event of the type; detail is the button, key code or exposed width,
// state the modifier mask or exposed height.
XEvent make(int type, int x, int y, unsigned detail, unsigned state) {
    XEvent e;
    std::memset(&e, 0, sizeof(e));
    e.type = type;
    if (type == GraphicsExpose) {
        e.xgraphicsexpose = XGraphicsExposeEvent{type, 0, 0, nullptr, 0x4a00007, x, y, int(detail), int(state), 0, 0, 0};
    } else if (type == ButtonPress || type == ButtonRelease) {
        e.xbutton.x = x, e.xbutton.y = y, e.xbutton.button = detail, e.xbutton.state = state;
    } else if (type == MotionNotify) {
        e.xmotion.x = x, e.xmotion.y = y, e.xmotion.state = state;
    } else if (type == KeyPress || type == KeyRelease) {
        e.xkey.keycode = detail, e.xkey.state = state;
    }
    return e;
}

TEST(XEventTranslation, EachEventBecomesItsHookCallOrNothing) {
    // As text: "draw drawable x y width height", "mouse type x y button
    // flags" (types: 0 press, 1 release, 2 move, 3 drag), "key modifiers cap
    // sym scan flags" in hex (flags: 0x01 down, 0x20 scan, 0x40 sym and 0x80
    // cap valid; modifiers: 0x1 shift, 0x2 ctrl, 0x4 alt, 0x10000 caps lock,
    // 0x20000 num lock), "ignored".
    const struct { const char* name; XEvent input; const char* call; } rows[] = {
        {"expose", make(GraphicsExpose, 10, 20, 300, 200), "draw 4a00007 10 20 300 200"},
        {"button press", make(ButtonPress, 15, -3, 1, 0), "mouse 0 15 -3 1 0"},
        {"button release", make(ButtonRelease, 40, 50, 3, 0), "mouse 1 40 50 3 0"},
        {"motion", make(MotionNotify, 7, 8, 0, ShiftMask), "mouse 2 7 8 0 0"},
        {"drag: lowest held button", make(MotionNotify, 7, 8, 0, Button3Mask | Button2Mask), "mouse 3 7 8 2 0"},
        {"key press", make(KeyPress, 0, 0, 38, 0), "key 0 126 126 26 e1"},
        {"shifted key", make(KeyPress, 0, 0, 38, ShiftMask), "key 1 126 226 26 e1"},
        {"key release, modifiers", make(KeyRelease, 0, 0, 38, ControlMask | Mod1Mask | LockMask | Mod2Mask),
         "key 30006 126 126 26 e0"},
        {"key without a symbol", make(KeyPress, 0, 0, 9, 0), "key 0 0 0 9 21"},
        {"enter window", make(EnterNotify, 0, 0, 0, 0), "ignored"},
        {"window expose", make(Expose, 0, 0, 0, 0), "ignored"},
        {"zeroed bytes", make(0, 0, 0, 0, 0), "ignored"},
    };
    for (const auto& row : rows) {
        HookCall c = NPluginX11::translateXEvent(row.input, &fakeLookup);
        char text[128] = "ignored";
        if (c.kind == HookCall::DRAW) {
            std::snprintf(text, sizeof(text), "draw %lx %d %d %d %d", c.drawable, c.x, c.y, c.width, c.height);
        } else if (c.kind == HookCall::MOUSE) {
            std::snprintf(text, sizeof(text), "mouse %d %d %d %d %d", c.mouseType, c.mouseX, c.mouseY, c.button,
                          c.mouseFlags);
        } else if (c.kind == HookCall::KEY) {
            std::snprintf(text, sizeof(text), "key %x %x %x %x %x", c.modifiers, c.cap, c.sym, c.scan, c.keyFlags);
        }
        EXPECT_STREQ(row.call, text) << row.name;
    }
}

}  // namespace
