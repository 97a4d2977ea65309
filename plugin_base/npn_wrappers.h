// One exported wrapper per browser service. The rest of the plug-in calls
// these, never the tables. Unguarded wrappers call their entry directly (the
// first sixteen are guaranteed by NP_Initialize's size check); version-gated
// ones need the browser's minor version; null-checked ones answer a fixed
// result when the browser left the entry empty. Wrappers keep no state and
// do not log. Thread rules are the browser's.
#pragma once

#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npfunctions.h"

NP_EXPORT(void) NPN_Version(int* pluginMajor, int* pluginMinor, int* browserMajor, int* browserMinor);

NP_EXPORT(NPError) NPN_GetURL(NPP instance, const char* url, const char* window);
NP_EXPORT(NPError) NPN_PostURL(NPP instance, const char* url, const char* window, uint32_t len, const char* buf, NPBool file);
NP_EXPORT(NPError) NPN_RequestRead(NPStream* stream, NPByteRange* rangeList);
NP_EXPORT(void) NPN_Status(NPP instance, const char* message);
NP_EXPORT(const char*) NPN_UserAgent(NPP instance);
NP_EXPORT(void*) NPN_MemAlloc(uint32_t size);
NP_EXPORT(void) NPN_MemFree(void* ptr);
NP_EXPORT(uint32_t) NPN_MemFlush(uint32_t size);
NP_EXPORT(void) NPN_ReloadPlugins(NPBool reloadPages);
NP_EXPORT(void*) NPN_GetJavaEnv(void);
NP_EXPORT(void*) NPN_GetJavaPeer(NPP instance);
NP_EXPORT(NPError) NPN_GetValue(NPP instance, NPNVariable variable, void* value);
NP_EXPORT(NPError) NPN_SetValue(NPP instance, NPPVariable variable, void* value);
NP_EXPORT(void) NPN_InvalidateRect(NPP instance, NPRect* invalidRect);
NP_EXPORT(void) NPN_InvalidateRegion(NPP instance, NPRegion invalidRegion);
NP_EXPORT(void) NPN_ForceRedraw(NPP instance);
NP_EXPORT(NPIdentifier) NPN_GetStringIdentifier(const NPUTF8* name);
NP_EXPORT(void) NPN_GetStringIdentifiers(const NPUTF8** names, int32_t nameCount, NPIdentifier* identifiers);
NP_EXPORT(NPIdentifier) NPN_GetIntIdentifier(int32_t intid);
NP_EXPORT(bool) NPN_IdentifierIsString(NPIdentifier identifier);
NP_EXPORT(NPUTF8*) NPN_UTF8FromIdentifier(NPIdentifier identifier);
NP_EXPORT(int32_t) NPN_IntFromIdentifier(NPIdentifier identifier);
NP_EXPORT(NPObject*) NPN_CreateObject(NPP npp, NPClass* aClass);
NP_EXPORT(NPObject*) NPN_RetainObject(NPObject* obj);
NP_EXPORT(void) NPN_ReleaseObject(NPObject* obj);
NP_EXPORT(bool) NPN_Invoke(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args, uint32_t argCount, NPVariant* result);
NP_EXPORT(bool) NPN_InvokeDefault(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount, NPVariant* result);
NP_EXPORT(bool) NPN_Evaluate(NPP npp, NPObject* obj, NPString* script, NPVariant* result);
NP_EXPORT(bool) NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result);
NP_EXPORT(bool) NPN_SetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, const NPVariant* value);
NP_EXPORT(bool) NPN_RemoveProperty(NPP npp, NPObject* obj, NPIdentifier propertyName);
NP_EXPORT(bool) NPN_HasProperty(NPP npp, NPObject* obj, NPIdentifier propertyName);
NP_EXPORT(bool) NPN_HasMethod(NPP npp, NPObject* obj, NPIdentifier methodName);
NP_EXPORT(void) NPN_ReleaseVariantValue(NPVariant* variant);
NP_EXPORT(void) NPN_SetException(NPObject* obj, const NPUTF8* message);

// Version-gated.
NP_EXPORT(NPError) NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData);
NP_EXPORT(NPError) NPN_PostURLNotify(NPP instance, const char* url, const char* target, uint32_t len, const char* buf, NPBool file, void* notifyData);
NP_EXPORT(NPError) NPN_NewStream(NPP instance, NPMIMEType type, const char* target, NPStream** stream);
NP_EXPORT(int32_t) NPN_Write(NPP instance, NPStream* stream, int32_t len, void* buffer);
NP_EXPORT(NPError) NPN_DestroyStream(NPP instance, NPStream* stream, NPReason reason);

// Null-checked.
NP_EXPORT(void) NPN_PushPopupsEnabledState(NPP instance, NPBool enabled);
NP_EXPORT(void) NPN_PopPopupsEnabledState(NPP instance);
NP_EXPORT(bool) NPN_Enumerate(NPP npp, NPObject* obj, NPIdentifier** identifier, uint32_t* count);
NP_EXPORT(void) NPN_PluginThreadAsyncCall(NPP instance, void (*func)(void*), void* userData);
NP_EXPORT(bool) NPN_Construct(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount, NPVariant* result);
NP_EXPORT(NPError) NPN_GetValueForURL(NPP instance, NPNURLVariable variable, const char* url, char** value, uint32_t* len);
NP_EXPORT(NPError) NPN_SetValueForURL(NPP instance, NPNURLVariable variable, const char* url, const char* value, uint32_t len);
NP_EXPORT(NPError) NPN_GetAuthenticationInfo(NPP instance, const char* protocol, const char* host, int32_t port, const char* scheme, const char* realm, char** username, uint32_t* ulen, char** password, uint32_t* plen);
NP_EXPORT(uint32_t) NPN_ScheduleTimer(NPP instance, uint32_t interval, NPBool repeat, void (*timerFunc)(NPP npp, uint32_t timerID));
NP_EXPORT(void) NPN_UnscheduleTimer(NPP instance, uint32_t timerID);
NP_EXPORT(NPError) NPN_PopUpContextMenu(NPP instance, NPMenu* menu);
NP_EXPORT(NPBool) NPN_ConvertPoint(NPP instance, double sourceX, double sourceY, NPCoordinateSpace sourceSpace, double* destX, double* destY, NPCoordinateSpace destSpace);

// Host extension (private table), all null-checked.
NP_EXPORT(NPError) NPN_GetURL_private(NPP instance, const char* url, const char* target);
NP_EXPORT(void) NPN_LogError_private(const char* text);
NP_EXPORT(void) NPN_LogWarning_private(const char* text);
NP_EXPORT(void) NPN_LogMessage_private(const char* text);
NP_EXPORT(void) NPN_SendMessage_private(const char* text, uint32_t kind);
NP_EXPORT(NPError) NPN_GetView_private(NPP instance, int32_t* viewId);
