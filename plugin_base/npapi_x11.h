// The X11 side of our NPAPI declarations (Unix browsers without the private
// host extension): toolkit values, the window-system record a browser hangs
// on NPWindow::ws_info, and the event type. Written from the published
// NPAPI layouts; the Xlib types come from the system's Xlib headers.
//
// Only the files of the X11 event model include this header: Xlib defines
// short macros (None, Bool, Status, Success) that must not leak elsewhere.
#pragma once

#include <X11/Xlib.h>

#include "plugin_base/npapi.h"

// Answers of NPN_GetValue(NPNVToolkit).
typedef enum {
    NPNVGtk12 = 1,
    NPNVGtk2
} NPNToolkitType;

// What NPWindow::ws_info points to on X11: the display, visual, colormap and
// depth of the window or drawable the plug-in draws into.
typedef struct {
    int32_t type;
    Display* display;
    Visual* visual;
    Colormap colormap;
    unsigned int depth;
} NPSetWindowCallbackStruct;

// NPP_HandleEvent's argument in the X11 event model.
typedef XEvent NPEvent;
