// The library's exported NPAPI entry points. The browser calls them on its
// plug-in thread. NP_Initialize copies the browser table (at most what both
// sides know, never reading past the browser's `size`), fills the plug-in
// table and settles the controller role; NP_InitializePrivate copies the
// host's private table and from then on hands the logger's lines to its log
// services (until then, and when it refuses the table, lines are dropped).
// Either may come first.
#pragma once

#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npfunctions.h"

NP_EXPORT(NPError) NP_Initialize(NPNetscapeFuncs* browserFuncs, NPPluginFuncs* pluginFuncs);
NP_EXPORT(NPError) NP_InitializePrivate(NPNetscapePrivateFuncs* privateFuncs);
NP_EXPORT(NPError) NP_GetValue(void* future, NPPVariable variable, void* value);
NP_EXPORT(const char*) NP_GetMIMEDescription(void);
NP_EXPORT(NPError) NP_Shutdown(void);

NP_EXPORT(const char*) NPP_GetMIMEDescription(void);
NP_EXPORT(NPObject*) NPP_GetScriptableInstance(NPP instance);

// Fills the 19 entries of the plug-in table and sets its version to 24;
// NPERR_INVALID_FUNCTABLE_ERROR when the table is shorter than ours.
NPError fillPluginFunctionTable(NPPluginFuncs* pluginFuncs);
