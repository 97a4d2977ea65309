#include "plugin_base/npn_wrappers.h"

#include "plugin_base/browser_funcs.h"

namespace {
constexpr int kPluginMajorVersion = 0;
constexpr int kPluginMinorVersion = 24;

int browserMinorVersion() { return NPNFuncs.version & 0xFF; }
}  // namespace

void NPN_Version(int* pluginMajor, int* pluginMinor, int* browserMajor, int* browserMinor) {
    if (pluginMajor) *pluginMajor = kPluginMajorVersion;
    if (pluginMinor) *pluginMinor = kPluginMinorVersion;
    if (browserMajor) *browserMajor = NPNFuncs.version >> 8;
    if (browserMinor) *browserMinor = browserMinorVersion();
}

// Entries up to forceredraw: NP_Initialize refuses tables too short to hold
// them. A browser may still leave one of them null; that must not crash the
// browser through us, so an empty entry answers a neutral result.
NPError NPN_GetURL(NPP instance, const char* url, const char* window) {
    return NPNFuncs.geturl ? NPNFuncs.geturl(instance, url, window) : NPERR_GENERIC_ERROR;
}
NPError NPN_PostURL(NPP instance, const char* url, const char* window, uint32_t len, const char* buf, NPBool file) {
    return NPNFuncs.posturl ? NPNFuncs.posturl(instance, url, window, len, buf, file) : NPERR_GENERIC_ERROR;
}
NPError NPN_RequestRead(NPStream* stream, NPByteRange* rangeList) {
    return NPNFuncs.requestread ? NPNFuncs.requestread(stream, rangeList) : NPERR_GENERIC_ERROR;
}
void NPN_Status(NPP instance, const char* message) {
    if (NPNFuncs.status) NPNFuncs.status(instance, message);
}
const char* NPN_UserAgent(NPP instance) { return NPNFuncs.uagent ? NPNFuncs.uagent(instance) : nullptr; }
void* NPN_MemAlloc(uint32_t size) { return NPNFuncs.memalloc ? NPNFuncs.memalloc(size) : nullptr; }
void NPN_MemFree(void* ptr) {
    if (NPNFuncs.memfree) NPNFuncs.memfree(ptr);
}
uint32_t NPN_MemFlush(uint32_t size) { return NPNFuncs.memflush ? NPNFuncs.memflush(size) : 0; }
void NPN_ReloadPlugins(NPBool reloadPages) {
    if (NPNFuncs.reloadplugins) NPNFuncs.reloadplugins(reloadPages);
}
void* NPN_GetJavaEnv(void) { return NPNFuncs.getJavaEnv ? NPNFuncs.getJavaEnv() : nullptr; }
void* NPN_GetJavaPeer(NPP instance) { return NPNFuncs.getJavaPeer ? NPNFuncs.getJavaPeer(instance) : nullptr; }
NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value) {
    return NPNFuncs.getvalue ? NPNFuncs.getvalue(instance, variable, value) : NPERR_GENERIC_ERROR;
}
NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value) {
    return NPNFuncs.setvalue ? NPNFuncs.setvalue(instance, variable, value) : NPERR_GENERIC_ERROR;
}
void NPN_InvalidateRect(NPP instance, NPRect* invalidRect) {
    if (NPNFuncs.invalidaterect) NPNFuncs.invalidaterect(instance, invalidRect);
}
void NPN_InvalidateRegion(NPP instance, NPRegion invalidRegion) {
    if (NPNFuncs.invalidateregion) NPNFuncs.invalidateregion(instance, invalidRegion);
}
void NPN_ForceRedraw(NPP instance) {
    if (NPNFuncs.forceredraw) NPNFuncs.forceredraw(instance);
}

// Scripting entries lie beyond forceredraw and a short table leaves them
// empty; the plug-in never scripts, so an empty entry answers "nothing".
NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name) {
    return NPNFuncs.getstringidentifier ? NPNFuncs.getstringidentifier(name) : nullptr;
}
void NPN_GetStringIdentifiers(const NPUTF8** names, int32_t nameCount, NPIdentifier* identifiers) {
    if (NPNFuncs.getstringidentifiers) NPNFuncs.getstringidentifiers(names, nameCount, identifiers);
}
NPIdentifier NPN_GetIntIdentifier(int32_t intid) {
    return NPNFuncs.getintidentifier ? NPNFuncs.getintidentifier(intid) : nullptr;
}
bool NPN_IdentifierIsString(NPIdentifier identifier) {
    return NPNFuncs.identifierisstring ? NPNFuncs.identifierisstring(identifier) : false;
}
NPUTF8* NPN_UTF8FromIdentifier(NPIdentifier identifier) {
    return NPNFuncs.utf8fromidentifier ? NPNFuncs.utf8fromidentifier(identifier) : nullptr;
}
int32_t NPN_IntFromIdentifier(NPIdentifier identifier) {
    return NPNFuncs.intfromidentifier ? NPNFuncs.intfromidentifier(identifier) : 0;
}
NPObject* NPN_CreateObject(NPP npp, NPClass* aClass) {
    return NPNFuncs.createobject ? NPNFuncs.createobject(npp, aClass) : nullptr;
}
NPObject* NPN_RetainObject(NPObject* obj) { return NPNFuncs.retainobject ? NPNFuncs.retainobject(obj) : nullptr; }
void NPN_ReleaseObject(NPObject* obj) {
    if (NPNFuncs.releaseobject) NPNFuncs.releaseobject(obj);
}
bool NPN_Invoke(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args, uint32_t argCount, NPVariant* result) {
    return NPNFuncs.invoke ? NPNFuncs.invoke(npp, obj, methodName, args, argCount, result) : false;
}
bool NPN_InvokeDefault(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount, NPVariant* result) {
    return NPNFuncs.invokeDefault ? NPNFuncs.invokeDefault(npp, obj, args, argCount, result) : false;
}
bool NPN_Evaluate(NPP npp, NPObject* obj, NPString* script, NPVariant* result) {
    return NPNFuncs.evaluate ? NPNFuncs.evaluate(npp, obj, script, result) : false;
}
bool NPN_GetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result) {
    return NPNFuncs.getproperty ? NPNFuncs.getproperty(npp, obj, propertyName, result) : false;
}
bool NPN_SetProperty(NPP npp, NPObject* obj, NPIdentifier propertyName, const NPVariant* value) {
    return NPNFuncs.setproperty ? NPNFuncs.setproperty(npp, obj, propertyName, value) : false;
}
bool NPN_RemoveProperty(NPP npp, NPObject* obj, NPIdentifier propertyName) {
    return NPNFuncs.removeproperty ? NPNFuncs.removeproperty(npp, obj, propertyName) : false;
}
bool NPN_HasProperty(NPP npp, NPObject* obj, NPIdentifier propertyName) {
    return NPNFuncs.hasproperty ? NPNFuncs.hasproperty(npp, obj, propertyName) : false;
}
bool NPN_HasMethod(NPP npp, NPObject* obj, NPIdentifier methodName) {
    return NPNFuncs.hasmethod ? NPNFuncs.hasmethod(npp, obj, methodName) : false;
}
void NPN_ReleaseVariantValue(NPVariant* variant) {
    if (NPNFuncs.releasevariantvalue) NPNFuncs.releasevariantvalue(variant);
}
void NPN_SetException(NPObject* obj, const NPUTF8* message) {
    if (NPNFuncs.setexception) NPNFuncs.setexception(obj, message);
}

NPError NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData) {
    if (browserMinorVersion() < 9) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (!NPNFuncs.geturlnotify) return NPERR_GENERIC_ERROR;
    return NPNFuncs.geturlnotify(instance, url, target, notifyData);
}
NPError NPN_PostURLNotify(NPP instance, const char* url, const char* target, uint32_t len, const char* buf, NPBool file,
                          void* notifyData) {
    if (browserMinorVersion() < 9) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (!NPNFuncs.posturlnotify) return NPERR_GENERIC_ERROR;
    return NPNFuncs.posturlnotify(instance, url, target, len, buf, file, notifyData);
}
NPError NPN_NewStream(NPP instance, NPMIMEType type, const char* target, NPStream** stream) {
    if (browserMinorVersion() < 8) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (!NPNFuncs.newstream) return NPERR_GENERIC_ERROR;
    return NPNFuncs.newstream(instance, type, target, stream);
}
int32_t NPN_Write(NPP instance, NPStream* stream, int32_t len, void* buffer) {
    if (browserMinorVersion() < 8) return -1;
    if (!NPNFuncs.write) return -1;
    return NPNFuncs.write(instance, stream, len, buffer);
}
NPError NPN_DestroyStream(NPP instance, NPStream* stream, NPReason reason) {
    if (browserMinorVersion() < 8) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (!NPNFuncs.destroystream) return NPERR_GENERIC_ERROR;
    return NPNFuncs.destroystream(instance, stream, reason);
}

void NPN_PushPopupsEnabledState(NPP instance, NPBool enabled) {
    if (NPNFuncs.pushpopupsenabledstate) NPNFuncs.pushpopupsenabledstate(instance, enabled);
}
void NPN_PopPopupsEnabledState(NPP instance) {
    if (NPNFuncs.poppopupsenabledstate) NPNFuncs.poppopupsenabledstate(instance);
}
bool NPN_Enumerate(NPP npp, NPObject* obj, NPIdentifier** identifier, uint32_t* count) {
    return NPNFuncs.enumerate ? NPNFuncs.enumerate(npp, obj, identifier, count) : false;
}
void NPN_PluginThreadAsyncCall(NPP instance, void (*func)(void*), void* userData) {
    if (NPNFuncs.pluginthreadasynccall) NPNFuncs.pluginthreadasynccall(instance, func, userData);
}
bool NPN_Construct(NPP npp, NPObject* obj, const NPVariant* args, uint32_t argCount, NPVariant* result) {
    return NPNFuncs.construct ? NPNFuncs.construct(npp, obj, args, argCount, result) : false;
}
NPError NPN_GetValueForURL(NPP instance, NPNURLVariable variable, const char* url, char** value, uint32_t* len) {
    return NPNFuncs.getvalueforurl ? NPNFuncs.getvalueforurl(instance, variable, url, value, len) : NPERR_GENERIC_ERROR;
}
NPError NPN_SetValueForURL(NPP instance, NPNURLVariable variable, const char* url, const char* value, uint32_t len) {
    return NPNFuncs.setvalueforurl ? NPNFuncs.setvalueforurl(instance, variable, url, value, len) : NPERR_GENERIC_ERROR;
}
NPError NPN_GetAuthenticationInfo(NPP instance, const char* protocol, const char* host, int32_t port, const char* scheme,
                                  const char* realm, char** username, uint32_t* ulen, char** password, uint32_t* plen) {
    if (!NPNFuncs.getauthenticationinfo) return NPERR_GENERIC_ERROR;
    return NPNFuncs.getauthenticationinfo(instance, protocol, host, port, scheme, realm, username, ulen, password, plen);
}
uint32_t NPN_ScheduleTimer(NPP instance, uint32_t interval, NPBool repeat, void (*timerFunc)(NPP npp, uint32_t timerID)) {
    return NPNFuncs.scheduletimer ? NPNFuncs.scheduletimer(instance, interval, repeat, timerFunc) : 0;
}
void NPN_UnscheduleTimer(NPP instance, uint32_t timerID) {
    if (NPNFuncs.unscheduletimer) NPNFuncs.unscheduletimer(instance, timerID);
}
NPError NPN_PopUpContextMenu(NPP instance, NPMenu* menu) {
    return NPNFuncs.popupcontextmenu ? NPNFuncs.popupcontextmenu(instance, menu) : NPERR_GENERIC_ERROR;
}
NPBool NPN_ConvertPoint(NPP instance, double sourceX, double sourceY, NPCoordinateSpace sourceSpace, double* destX,
                        double* destY, NPCoordinateSpace destSpace) {
    if (!NPNFuncs.convertpoint) return false;
    return NPNFuncs.convertpoint(instance, sourceX, sourceY, sourceSpace, destX, destY, destSpace);
}

NPError NPN_GetURL_private(NPP instance, const char* url, const char* target) {
    return NPNPrivateFuncs.geturl_private ? NPNPrivateFuncs.geturl_private(instance, url, target) : NPERR_GENERIC_ERROR;
}
void NPN_LogError_private(const char* text) {
    if (NPNPrivateFuncs.logerror_private) NPNPrivateFuncs.logerror_private(text);
}
void NPN_LogWarning_private(const char* text) {
    if (NPNPrivateFuncs.logwarning_private) NPNPrivateFuncs.logwarning_private(text);
}
void NPN_LogMessage_private(const char* text) {
    if (NPNPrivateFuncs.logmessage_private) NPNPrivateFuncs.logmessage_private(text);
}
void NPN_SendMessage_private(const char* text, uint32_t kind) {
    if (NPNPrivateFuncs.sendmessage_private) NPNPrivateFuncs.sendmessage_private(text, kind);
}
NPError NPN_GetView_private(NPP instance, int32_t* viewId) {
    return NPNPrivateFuncs.getview_private ? NPNPrivateFuncs.getview_private(instance, viewId) : NPERR_GENERIC_ERROR;
}
