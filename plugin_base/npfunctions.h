// The two NPAPI function tables: the browser's (NPNetscapeFuncs, 52 entries
// from geturl to convertpoint) and the plug-in's (NPPluginFuncs, the 19-entry
// form from newp to getsiteswithdata). A table's real extent is its `size`
// field; never assume sizeof of these declarations on the other side.
#pragma once

#include "plugin_base/npapi.h"

// Browser services.
typedef NPError (*NPN_GetURLProcPtr)(NPP, const char* url, const char* window);
typedef NPError (*NPN_PostURLProcPtr)(NPP, const char* url, const char* window, uint32_t len, const char* buf, NPBool file);
typedef NPError (*NPN_RequestReadProcPtr)(NPStream*, NPByteRange*);
typedef NPError (*NPN_NewStreamProcPtr)(NPP, NPMIMEType, const char* window, NPStream**);
typedef int32_t (*NPN_WriteProcPtr)(NPP, NPStream*, int32_t len, void* buffer);
typedef NPError (*NPN_DestroyStreamProcPtr)(NPP, NPStream*, NPReason);
typedef void (*NPN_StatusProcPtr)(NPP, const char* message);
typedef const char* (*NPN_UserAgentProcPtr)(NPP);
typedef void* (*NPN_MemAllocProcPtr)(uint32_t size);
typedef void (*NPN_MemFreeProcPtr)(void* ptr);
typedef uint32_t (*NPN_MemFlushProcPtr)(uint32_t size);
typedef void (*NPN_ReloadPluginsProcPtr)(NPBool reloadPages);
typedef void* (*NPN_GetJavaEnvProcPtr)(void);
typedef void* (*NPN_GetJavaPeerProcPtr)(NPP);
typedef NPError (*NPN_GetURLNotifyProcPtr)(NPP, const char* url, const char* window, void* notifyData);
typedef NPError (*NPN_PostURLNotifyProcPtr)(NPP, const char* url, const char* window, uint32_t len, const char* buf, NPBool file, void* notifyData);
typedef NPError (*NPN_GetValueProcPtr)(NPP, NPNVariable, void* value);
typedef NPError (*NPN_SetValueProcPtr)(NPP, NPPVariable, void* value);
typedef void (*NPN_InvalidateRectProcPtr)(NPP, NPRect*);
typedef void (*NPN_InvalidateRegionProcPtr)(NPP, NPRegion);
typedef void (*NPN_ForceRedrawProcPtr)(NPP);
typedef NPIdentifier (*NPN_GetStringIdentifierProcPtr)(const NPUTF8* name);
typedef void (*NPN_GetStringIdentifiersProcPtr)(const NPUTF8** names, int32_t nameCount, NPIdentifier* identifiers);
typedef NPIdentifier (*NPN_GetIntIdentifierProcPtr)(int32_t intid);
typedef bool (*NPN_IdentifierIsStringProcPtr)(NPIdentifier);
typedef NPUTF8* (*NPN_UTF8FromIdentifierProcPtr)(NPIdentifier);
typedef int32_t (*NPN_IntFromIdentifierProcPtr)(NPIdentifier);
typedef NPObject* (*NPN_CreateObjectProcPtr)(NPP, NPClass*);
typedef NPObject* (*NPN_RetainObjectProcPtr)(NPObject*);
typedef void (*NPN_ReleaseObjectProcPtr)(NPObject*);
typedef bool (*NPN_InvokeProcPtr)(NPP, NPObject*, NPIdentifier method, const NPVariant* args, uint32_t argCount, NPVariant* result);
typedef bool (*NPN_InvokeDefaultProcPtr)(NPP, NPObject*, const NPVariant* args, uint32_t argCount, NPVariant* result);
typedef bool (*NPN_EvaluateProcPtr)(NPP, NPObject*, NPString* script, NPVariant* result);
typedef bool (*NPN_GetPropertyProcPtr)(NPP, NPObject*, NPIdentifier, NPVariant* result);
typedef bool (*NPN_SetPropertyProcPtr)(NPP, NPObject*, NPIdentifier, const NPVariant* value);
typedef bool (*NPN_RemovePropertyProcPtr)(NPP, NPObject*, NPIdentifier);
typedef bool (*NPN_HasPropertyProcPtr)(NPP, NPObject*, NPIdentifier);
typedef bool (*NPN_HasMethodProcPtr)(NPP, NPObject*, NPIdentifier);
typedef void (*NPN_ReleaseVariantValueProcPtr)(NPVariant*);
typedef void (*NPN_SetExceptionProcPtr)(NPObject*, const NPUTF8* message);
typedef void (*NPN_PushPopupsEnabledStateProcPtr)(NPP, NPBool enabled);
typedef void (*NPN_PopPopupsEnabledStateProcPtr)(NPP);
typedef bool (*NPN_EnumerateProcPtr)(NPP, NPObject*, NPIdentifier** identifiers, uint32_t* count);
typedef void (*NPN_PluginThreadAsyncCallProcPtr)(NPP, void (*func)(void*), void* userData);
typedef bool (*NPN_ConstructProcPtr)(NPP, NPObject*, const NPVariant* args, uint32_t argCount, NPVariant* result);
typedef NPError (*NPN_GetValueForURLProcPtr)(NPP, NPNURLVariable, const char* url, char** value, uint32_t* len);
typedef NPError (*NPN_SetValueForURLProcPtr)(NPP, NPNURLVariable, const char* url, const char* value, uint32_t len);
typedef NPError (*NPN_GetAuthenticationInfoProcPtr)(NPP, const char* protocol, const char* host, int32_t port, const char* scheme, const char* realm, char** username, uint32_t* ulen, char** password, uint32_t* plen);
typedef uint32_t (*NPN_ScheduleTimerProcPtr)(NPP, uint32_t interval, NPBool repeat, void (*timerFunc)(NPP, uint32_t timerID));
typedef void (*NPN_UnscheduleTimerProcPtr)(NPP, uint32_t timerID);
typedef NPError (*NPN_PopUpContextMenuProcPtr)(NPP, NPMenu* menu);
typedef NPBool (*NPN_ConvertPointProcPtr)(NPP, double sourceX, double sourceY, NPCoordinateSpace sourceSpace, double* destX, double* destY, NPCoordinateSpace destSpace);

typedef struct _NPNetscapeFuncs {
    uint16_t size;
    uint16_t version;  // major in the high byte, minor in the low byte
    NPN_GetURLProcPtr geturl;
    NPN_PostURLProcPtr posturl;
    NPN_RequestReadProcPtr requestread;
    NPN_NewStreamProcPtr newstream;
    NPN_WriteProcPtr write;
    NPN_DestroyStreamProcPtr destroystream;
    NPN_StatusProcPtr status;
    NPN_UserAgentProcPtr uagent;
    NPN_MemAllocProcPtr memalloc;
    NPN_MemFreeProcPtr memfree;
    NPN_MemFlushProcPtr memflush;
    NPN_ReloadPluginsProcPtr reloadplugins;
    NPN_GetJavaEnvProcPtr getJavaEnv;
    NPN_GetJavaPeerProcPtr getJavaPeer;
    NPN_GetURLNotifyProcPtr geturlnotify;
    NPN_PostURLNotifyProcPtr posturlnotify;
    NPN_GetValueProcPtr getvalue;
    NPN_SetValueProcPtr setvalue;
    NPN_InvalidateRectProcPtr invalidaterect;
    NPN_InvalidateRegionProcPtr invalidateregion;
    NPN_ForceRedrawProcPtr forceredraw;
    NPN_GetStringIdentifierProcPtr getstringidentifier;
    NPN_GetStringIdentifiersProcPtr getstringidentifiers;
    NPN_GetIntIdentifierProcPtr getintidentifier;
    NPN_IdentifierIsStringProcPtr identifierisstring;
    NPN_UTF8FromIdentifierProcPtr utf8fromidentifier;
    NPN_IntFromIdentifierProcPtr intfromidentifier;
    NPN_CreateObjectProcPtr createobject;
    NPN_RetainObjectProcPtr retainobject;
    NPN_ReleaseObjectProcPtr releaseobject;
    NPN_InvokeProcPtr invoke;
    NPN_InvokeDefaultProcPtr invokeDefault;
    NPN_EvaluateProcPtr evaluate;
    NPN_GetPropertyProcPtr getproperty;
    NPN_SetPropertyProcPtr setproperty;
    NPN_RemovePropertyProcPtr removeproperty;
    NPN_HasPropertyProcPtr hasproperty;
    NPN_HasMethodProcPtr hasmethod;
    NPN_ReleaseVariantValueProcPtr releasevariantvalue;
    NPN_SetExceptionProcPtr setexception;
    NPN_PushPopupsEnabledStateProcPtr pushpopupsenabledstate;
    NPN_PopPopupsEnabledStateProcPtr poppopupsenabledstate;
    NPN_EnumerateProcPtr enumerate;
    NPN_PluginThreadAsyncCallProcPtr pluginthreadasynccall;
    NPN_ConstructProcPtr construct;
    NPN_GetValueForURLProcPtr getvalueforurl;
    NPN_SetValueForURLProcPtr setvalueforurl;
    NPN_GetAuthenticationInfoProcPtr getauthenticationinfo;
    NPN_ScheduleTimerProcPtr scheduletimer;
    NPN_UnscheduleTimerProcPtr unscheduletimer;
    NPN_PopUpContextMenuProcPtr popupcontextmenu;
    NPN_ConvertPointProcPtr convertpoint;
} NPNetscapeFuncs;

// Plug-in entry points.
typedef NPError (*NPP_NewProcPtr)(NPMIMEType, NPP, uint16_t mode, int16_t argc, char* argn[], char* argv[], NPSavedData*);
typedef NPError (*NPP_DestroyProcPtr)(NPP, NPSavedData** save);
typedef NPError (*NPP_SetWindowProcPtr)(NPP, NPWindow*);
typedef NPError (*NPP_NewStreamProcPtr)(NPP, NPMIMEType, NPStream*, NPBool seekable, uint16_t* stype);
typedef NPError (*NPP_DestroyStreamProcPtr)(NPP, NPStream*, NPReason);
typedef void (*NPP_StreamAsFileProcPtr)(NPP, NPStream*, const char* fname);
typedef int32_t (*NPP_WriteReadyProcPtr)(NPP, NPStream*);
typedef int32_t (*NPP_WriteProcPtr)(NPP, NPStream*, int32_t offset, int32_t len, void* buffer);
typedef void (*NPP_PrintProcPtr)(NPP, NPPrint*);
typedef int16_t (*NPP_HandleEventProcPtr)(NPP, void* event);
typedef void (*NPP_URLNotifyProcPtr)(NPP, const char* url, NPReason, void* notifyData);
typedef void* (*NPP_GetJavaClassProcPtr)(void);
typedef NPError (*NPP_GetValueProcPtr)(NPP, NPPVariable, void* value);
typedef NPError (*NPP_SetValueProcPtr)(NPP, NPNVariable, void* value);
typedef NPBool (*NPP_GotFocusPtr)(NPP, NPFocusDirection);
typedef void (*NPP_LostFocusPtr)(NPP);
typedef void (*NPP_URLRedirectNotifyPtr)(NPP, const char* url, int32_t status, void* notifyData);
typedef NPError (*NPP_ClearSiteDataPtr)(const char* site, uint64_t flags, uint64_t maxAge);
typedef char** (*NPP_GetSitesWithDataPtr)(void);

typedef struct _NPPluginFuncs {
    uint16_t size;
    uint16_t version;
    NPP_NewProcPtr newp;
    NPP_DestroyProcPtr destroy;
    NPP_SetWindowProcPtr setwindow;
    NPP_NewStreamProcPtr newstream;
    NPP_DestroyStreamProcPtr destroystream;
    NPP_StreamAsFileProcPtr asfile;
    NPP_WriteReadyProcPtr writeready;
    NPP_WriteProcPtr write;
    NPP_PrintProcPtr print;
    NPP_HandleEventProcPtr event;
    NPP_URLNotifyProcPtr urlnotify;
    NPP_GetJavaClassProcPtr javaClass;
    NPP_GetValueProcPtr getvalue;
    NPP_SetValueProcPtr setvalue;
    NPP_GotFocusPtr gotfocus;
    NPP_LostFocusPtr lostfocus;
    NPP_URLRedirectNotifyPtr urlredirectnotify;
    NPP_ClearSiteDataPtr clearsitedata;
    NPP_GetSitesWithDataPtr getsiteswithdata;
} NPPluginFuncs;

// Extents derived from the declarations: right on the 32-bit device
// (88, 212, 80) and on a 64-bit build alike.
#include <cstddef>
constexpr size_t kNPNFuncsRequiredSize = offsetof(NPNetscapeFuncs, forceredraw) + sizeof(void*);
constexpr size_t kNPNFuncsFullSize = sizeof(NPNetscapeFuncs);
constexpr size_t kNPPFuncsSize = sizeof(NPPluginFuncs);
