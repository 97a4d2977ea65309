// The per-instance NPAPI functions of the plug-in table. Each guards the NPP
// and its pdata, answers the documented code when either is missing, and
// otherwise forwards to the instance object's virtual operation.
#pragma once

#include "plugin_base/npfunctions.h"

NP_EXPORT(NPError) NPP_New(NPMIMEType type, NPP instance, uint16_t mode, int16_t argc, char* argn[], char* argv[],
                           NPSavedData* saved);
NP_EXPORT(NPError) NPP_Destroy(NPP instance, NPSavedData** save);
NP_EXPORT(NPError) NPP_SetWindow(NPP instance, NPWindow* window);
NP_EXPORT(NPError) NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype);
NP_EXPORT(NPError) NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
NP_EXPORT(void) NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
NP_EXPORT(int32_t) NPP_WriteReady(NPP instance, NPStream* stream);
NP_EXPORT(int32_t) NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer);
NP_EXPORT(void) NPP_Print(NPP instance, NPPrint* platformPrint);
NP_EXPORT(int16_t) NPP_HandleEvent(NPP instance, void* event);
NP_EXPORT(void) NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData);
NP_EXPORT(void*) NPP_GetJavaClass(void);
NP_EXPORT(NPError) NPP_GetValue(NPP instance, NPPVariable variable, void* value);
NP_EXPORT(NPError) NPP_SetValue(NPP instance, NPNVariable variable, void* value);
NP_EXPORT(NPBool) NPP_GotFocus(NPP instance, NPFocusDirection direction);
NP_EXPORT(void) NPP_LostFocus(NPP instance);
NP_EXPORT(void) NPP_URLRedirectNotify(NPP instance, const char* url, int32_t status, void* notifyData);
NP_EXPORT(NPError) NPP_ClearSiteData(const char* site, uint64_t flags, uint64_t maxAge);
NP_EXPORT(char**) NPP_GetSitesWithData(void);
