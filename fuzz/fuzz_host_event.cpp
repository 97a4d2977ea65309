// Fuzzes host event records through NPP_HandleEvent of the shipped library:
// draw records with arbitrary rectangles (onto a real surface or none),
// mouse, key, zoom and scroll records with arbitrary fields, and records of
// unknown types.
//
// Input: byte 0 chooses the instance (even: one receiving a document, odd:
// one in the error state), byte 1 the record type (values 0..4 as such,
// 5 a null record, anything else taken as a raw type), byte 2 bit 0 whether
// a draw record carries the surface; the rest fills the record's fields in
// order, zero-padded.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/plugin_session.h"

namespace {

struct Instances {
    Instances() : receiving(PluginSession::get().browser), failed(PluginSession::get().browser), target(320, 200) {
        if (receiving.create("application/msword") != NPERR_NO_ERROR) abort();
        if (receiving.setWindow(0, 0, 320, 200) != NPERR_NO_ERROR) abort();
        if (failed.create("application/msword") != NPERR_NO_ERROR) abort();
        if (failed.setWindow(0, 0, 320, 200) != NPERR_NO_ERROR) abort();
        // A URL without an extension is refused: the instance turns to its
        // error state.
        failed.stream("http://example.invalid/no-extension", "");
    }
    host::HostInstance receiving;
    host::HostInstance failed;
    host::DrawTarget target;
};

template <typename Record>
Record fill(const std::uint8_t* data, std::size_t size) {
    Record record;
    std::memset(&record, 0, sizeof(record));
    std::memcpy(&record, data, size < sizeof(record) ? size : sizeof(record));
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static Instances* instances = new Instances;
    host::HostInstance& instance = (data[0] & 1) ? instances->failed : instances->receiving;
    const std::uint8_t kind = data[1];
    const bool withSurface = (data[2] & 1) != 0;
    data += 3;
    size -= 3;
    switch (kind) {
        case PAPI_DRAW_EVENT: {
            papi_draw_event_t draw = fill<papi_draw_event_t>(data, size);
            draw.surface = withSurface ? instances->target.context() : nullptr;
            instance.event(PAPI_DRAW_EVENT, &draw);
            break;
        }
        case PAPI_MOUSE_EVENT: {
            papi_mouse_event_t mouse = fill<papi_mouse_event_t>(data, size);
            instance.event(PAPI_MOUSE_EVENT, &mouse);
            break;
        }
        case PAPI_KEY_EVENT: {
            papi_key_event_t key = fill<papi_key_event_t>(data, size);
            instance.event(PAPI_KEY_EVENT, &key);
            break;
        }
        case PAPI_ZOOM_EVENT: {
            papi_zoom_event_t zoom = fill<papi_zoom_event_t>(data, size);
            instance.event(PAPI_ZOOM_EVENT, &zoom);
            break;
        }
        case PAPI_SCROLL_EVENT: {
            papi_scroll_event_t scroll = fill<papi_scroll_event_t>(data, size);
            instance.event(PAPI_SCROLL_EVENT, &scroll);
            break;
        }
        case 5:
            instance.rawEvent(nullptr);
            break;
        default: {
            std::uint8_t payload[64] = {0};
            std::memcpy(payload, data, size < sizeof(payload) ? size : sizeof(payload));
            instance.event(kind, payload);
            break;
        }
    }
    PluginSession::get().browser.clearRecords();
    return 0;
}
