// Fuzzes host event records through NPP_HandleEvent of the shipped library.
// Input: byte 0 even: an instance receiving a document, odd: one in the
// error state; byte 1 the record type (0..4 as such, 5 a null record, others
// raw); byte 2 bit 0 whether a draw record carries a real surface; the rest
// fills the record's fields in order, zero-padded.
#include <cstdint>
#include <cstring>

#include "fuzz/plugin_session.h"

namespace {
struct Instances {
    Instances() : receiving(PluginSession::get().browser), failed(PluginSession::get().browser), target(320, 200) {
        for (host::HostInstance* instance : {&receiving, &failed}) {
            if (instance->create("application/msword") != NPERR_NO_ERROR) abort();
            if (instance->setWindow(0, 0, 320, 200) != NPERR_NO_ERROR) abort();
        }
        failed.stream("http://example.invalid/no-extension", "");  // refused: the error state
    }
    host::HostInstance receiving, failed;
    host::DrawTarget target;
};

// The record's bytes: the input's, zero-padded (64 for an unknown type).
union Record {
    papi_draw_event_t draw;
    papi_mouse_event_t mouse;
    papi_key_event_t key;
    papi_zoom_event_t zoom;
    papi_scroll_event_t scroll;
    std::uint8_t raw[64];
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static Instances* instances = new Instances;
    host::HostInstance& instance = (data[0] & 1) ? instances->failed : instances->receiving;
    Record record;
    std::memset(&record, 0, sizeof(record));
    std::memcpy(&record, data + 3, size - 3 < sizeof(record) ? size - 3 : sizeof(record));
    if (data[1] == PAPI_DRAW_EVENT) record.draw.surface = (data[2] & 1) ? instances->target.context() : nullptr;
    if (data[1] == 5) instance.rawEvent(nullptr);
    else instance.event(data[1], &record);
    PluginSession::get().browser.clearRecords();
    return 0;
}
