// The library-wide side of the entry layer: what the concrete plug-in must
// supply (factory and texts), and the module operations the NPAPI entry
// points run. Plug-in thread only, except where noted.
#pragma once

#include "plugin_base/npapi.h"
#include "plugin_base/plugin_create_data.h"

class _CQVPluginBase;

// Supplied by the concrete plug-in. The factory returns a new heap object,
// owned from then on by the host instance's pdata and freed only by
// NS_DestroyPluginInstance, or null. The texts have static lifetime.
_CQVPluginBase* NS_NewPluginInstance(nsPluginCreateData* data);
const char* PluginGetName();
const char* PluginGetDescription();
const char* PluginGetMimeTypeDescription();

// Start-up hook of NP_Initialize: logs the build and settles the controller
// role from ROLEPLUGINCTRL. Always NPERR_NO_ERROR.
NPError NS_PluginInitialize();
// Logs the plug-in name; releases nothing.
void NS_PluginShutdown();
// The plug-in's name and description for the browser; NPERR_INVALID_PARAM
// for a null value or any other variable.
NPError NS_PluginGetValue(NPPVariable variable, void* value);
// Factory call plus setParam; null for null data or a failing factory.
_CQVPluginBase* _NS_NewPluginInstance(nsPluginCreateData* data);
// Shuts a still-running instance down first, then deletes it. Null is fine.
void NS_DestroyPluginInstance(_CQVPluginBase* plugin);
