// Process-wide copies of the browser's two function tables. Cleared when the
// library is loaded (so a table the browser never fills has only null
// entries), written only by NP_Initialize / NP_InitializePrivate, read from
// any thread afterwards.
#pragma once

#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npfunctions.h"

extern NPNetscapeFuncs NPNFuncs;
extern NPNetscapePrivateFuncs NPNPrivateFuncs;

// Sets both tables to zero bytes and their size fields to our extents.
void clearBrowserFunctionTables();

