// The host's event records, delivered through NPP_HandleEvent as a pointer
// to papi_event_t. Little-endian, natural alignment: on the 32-bit device
// papi_draw_event_t is 52 bytes, on a 64-bit host the pointers widen.
#pragma once

#include <cstdint>

enum papi_event_type_t : int32_t {
    PAPI_DRAW_EVENT = 0,
    PAPI_MOUSE_EVENT = 1,
    PAPI_KEY_EVENT = 2,
    PAPI_ZOOM_EVENT = 3,
    PAPI_SCROLL_EVENT = 4
};

struct papi_rect_t {
    int16_t x;
    int16_t y;
    uint32_t width;
    uint32_t height;
};

struct papi_event_t {
    int32_t type;  // papi_event_type_t
    void* data;    // record of that type
};

struct papi_draw_event_t {
    void* surface;  // the host's cairo_t*, may be null
    papi_rect_t parentRect;
    papi_rect_t pluginRect;
    papi_rect_t clipRect;
    papi_rect_t drawRect;
};

// Five 32-bit slots; x and y are read as int16, button and flags as uint16.
struct papi_mouse_event_t {
    int32_t x;
    int32_t y;
    int32_t type;
    int32_t button;
    int32_t flags;
};

// Keyboard event fields; flag bits as on the device's keyboard events.
struct papi_key_event_t {
    int32_t modifiers;
    int32_t cap;
    int32_t sym;
    int32_t scan;
    int32_t flags;
};

enum papi_key_flags_t : int32_t {
    PAPI_KEY_DOWN = 0x01,
    PAPI_KEY_REPEAT = 0x02,
    PAPI_KEY_SCAN_VALID = 0x20,
    PAPI_KEY_SYM_VALID = 0x40,
    PAPI_KEY_CAP_VALID = 0x80
};

// Modifier bits of papi_key_event_t::modifiers.
enum papi_key_modifiers_t : int32_t {
    PAPI_KEYMOD_SHIFT = 0x00000001,
    PAPI_KEYMOD_CTRL = 0x00000002,
    PAPI_KEYMOD_ALT = 0x00000004,
    PAPI_KEYMOD_CAPS_LOCK = 0x00010000,
    PAPI_KEYMOD_NUM_LOCK = 0x00020000
};

typedef int32_t zoom_event_type;
typedef int32_t scroll_event_type;

struct papi_zoom_event_t {
    zoom_event_type type;
    double factor;
};

struct papi_scroll_event_t {
    scroll_event_type type;
    int32_t x;
    int32_t y;
};
