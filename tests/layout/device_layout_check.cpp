// Compile-only check of the host tables and records on the device's
// architecture (32-bit ARM). Built with the cross compiler by
// scripts/check-device-layout.sh and into the ARM entry-point tests; nothing runs.
#include <cstddef>

#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npfunctions.h"
#include "plugin_base/papi_events.h"

#if !defined(__arm__)
#error "this check is meant for the 32-bit ARM cross compiler"
#endif

static_assert(sizeof(void*) == 4, "32-bit pointers");
static_assert(sizeof(NPNetscapeFuncs) == 212 && kNPNFuncsFullSize == 212, "browser table: 212 bytes");
static_assert(kNPNFuncsRequiredSize == 88 && offsetof(NPNetscapeFuncs, forceredraw) == 84, "forceredraw ends at 88");
static_assert(offsetof(NPNetscapeFuncs, geturl) == 4 && offsetof(NPNetscapeFuncs, convertpoint) == 208, "entries");
static_assert(sizeof(NPPluginFuncs) == 80 && kNPPFuncsSize == 80, "plug-in table: 80 bytes");
static_assert(offsetof(NPPluginFuncs, getsiteswithdata) == 76, "getsiteswithdata last");
static_assert(sizeof(NPNetscapePrivateFuncs) == 28, "private table: 28 bytes");
static_assert(offsetof(NPNetscapePrivateFuncs, geturl_private) == 4 &&
                  offsetof(NPNetscapePrivateFuncs, getview_private) == 24, "private entries");
static_assert(sizeof(NPWindow) == 36 && sizeof(NPSavedData) == 8, "NPWindow: 36 bytes, NPSavedData: 8");
static_assert(sizeof(papi_rect_t) == 12, "papi_rect_t: 12 bytes");
static_assert(sizeof(papi_event_t) == 8 && offsetof(papi_event_t, data) == 4, "papi_event_t");
static_assert(sizeof(papi_draw_event_t) == 52 && offsetof(papi_draw_event_t, parentRect) == 4 &&
                  offsetof(papi_draw_event_t, pluginRect) == 16 && offsetof(papi_draw_event_t, clipRect) == 28 &&
                  offsetof(papi_draw_event_t, drawRect) == 40, "papi_draw_event_t: 52 bytes");
static_assert(sizeof(papi_mouse_event_t) == 20 && sizeof(papi_key_event_t) == 20, "mouse and key: 20 bytes");
static_assert(sizeof(papi_zoom_event_t) == 16 && offsetof(papi_zoom_event_t, factor) == 8, "papi_zoom_event_t");
static_assert(sizeof(papi_scroll_event_t) == 12, "papi_scroll_event_t: 12 bytes");
