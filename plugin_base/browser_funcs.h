// Process-wide copies of the browser's two function tables. Cleared when the
// library is loaded (so a table the browser never fills has only null
// entries), written only by NP_Initialize / NP_InitializePrivate, read from
// any thread afterwards.
#pragma once

#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npfunctions.h"

extern NPNetscapeFuncs NPNFuncs;
extern NPNetscapePrivateFuncs NPNPrivateFuncs;

// Whether NP_InitializePrivate accepted a table, which tells the private
// host from a stock browser: it decides how NPP_HandleEvent's argument is
// read (the host's records, or the window system's events).
bool hasPrivateTable();
// Whether the browser offers the private navigation and message services;
// without them the plug-in navigates with NPN_GetURL and shows its messages
// itself.
bool hasPrivateURLService();
bool hasPrivateMessageService();

// Sets both tables to zero bytes and their size fields to our extents.
void clearBrowserFunctionTables();

