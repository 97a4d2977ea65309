#include "plugin_base/x11_event_translation.h"

#include "plugin_base/papi_events.h"

namespace NPluginX11 {

namespace {
// X modifier masks and the host's modifier bits they stand for. Mod1 is Alt
// and Mod2 Num Lock on every common keyboard map.
const struct {
    unsigned int mask;
    Int32 modifier;
} kModifiers[] = {
    {ShiftMask, PAPI_KEYMOD_SHIFT},     {ControlMask, PAPI_KEYMOD_CTRL}, {Mod1Mask, PAPI_KEYMOD_ALT},
    {LockMask, PAPI_KEYMOD_CAPS_LOCK}, {Mod2Mask, PAPI_KEYMOD_NUM_LOCK},
};

const unsigned int kButtonMasks[] = {Button1Mask, Button2Mask, Button3Mask, Button4Mask, Button5Mask};

// The lowest button held in a state mask (1 to 5), or 0.
UInt16 heldButton(unsigned int state) {
    for (unsigned int i = 0; i < sizeof(kButtonMasks) / sizeof(kButtonMasks[0]); ++i) {
        if (state & kButtonMasks[i]) return static_cast<UInt16>(i + 1);
    }
    return 0;
}

HookCall mouse(NPluginMouse::eMouseEventType type, int x, int y, UInt16 button) {
    HookCall call;
    call.kind = HookCall::MOUSE;
    call.mouseType = type;
    call.mouseX = static_cast<Int16>(x);
    call.mouseY = static_cast<Int16>(y);
    call.button = button;
    return call;
}

HookCall key(XKeyEvent event, bool down, KeySymLookup lookup) {
    HookCall call;
    call.kind = HookCall::KEY;
    for (const auto& row : kModifiers) {
        if (event.state & row.mask) call.modifiers |= row.modifier;
    }
    call.scan = static_cast<Int32>(event.keycode);
    call.keyFlags = PAPI_KEY_SCAN_VALID | (down ? PAPI_KEY_DOWN : 0);
    KeySym cap = lookup ? lookup(&event, 0) : NoSymbol;
    if (cap != NoSymbol) {
        KeySym sym = (event.state & ShiftMask) ? lookup(&event, 1) : cap;
        call.cap = static_cast<Int32>(cap);
        call.sym = static_cast<Int32>(sym != NoSymbol ? sym : cap);
        call.keyFlags |= PAPI_KEY_CAP_VALID | PAPI_KEY_SYM_VALID;
    }
    return call;
}
}  // namespace

HookCall translateXEvent(const XEvent& event, KeySymLookup lookup) {
    switch (event.type) {
        case GraphicsExpose: {
            HookCall call;
            call.kind = HookCall::DRAW;
            call.drawable = event.xgraphicsexpose.drawable;
            call.x = event.xgraphicsexpose.x;
            call.y = event.xgraphicsexpose.y;
            call.width = event.xgraphicsexpose.width;
            call.height = event.xgraphicsexpose.height;
            return call;
        }
        case ButtonPress:
            return mouse(NPluginMouse::MOUSE_EVENT_PRESS, event.xbutton.x, event.xbutton.y,
                         static_cast<UInt16>(event.xbutton.button));
        case ButtonRelease:
            return mouse(NPluginMouse::MOUSE_EVENT_RELEASE, event.xbutton.x, event.xbutton.y,
                         static_cast<UInt16>(event.xbutton.button));
        case MotionNotify: {
            UInt16 button = heldButton(event.xmotion.state);
            return mouse(button ? NPluginMouse::MOUSE_EVENT_DRAG : NPluginMouse::MOUSE_EVENT_MOVE, event.xmotion.x,
                         event.xmotion.y, button);
        }
        case KeyPress:
            return key(event.xkey, true, lookup);
        case KeyRelease:
            return key(event.xkey, false, lookup);
        default:
            return HookCall();
    }
}

}  // namespace NPluginX11
