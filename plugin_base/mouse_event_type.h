// Mouse event types of the instance base, numbered like the host's mouse
// event types (0 to 4). Available as _CQVPluginBase::eMouseEventType; kept
// in a header of its own so that widgets can name it without the base class.
#pragma once

namespace NPluginMouse {
enum eMouseEventType {
    MOUSE_EVENT_PRESS = 0,
    MOUSE_EVENT_RELEASE = 1,
    MOUSE_EVENT_MOVE = 2,
    MOUSE_EVENT_DRAG = 3,
    MOUSE_EVENT_OTHER = 4
};
}
