// The host's private extension table, handed to NP_InitializePrivate.
// Same fields in the same order on every architecture; 28 bytes on the
// 32-bit device.
#pragma once

#include "plugin_base/npapi.h"

typedef NPError (*NPN_GetURLPrivateProcPtr)(NPP, const char* url, const char* target);
typedef void (*NPN_LogPrivateProcPtr)(const char* text);
typedef void (*NPN_SendMessagePrivateProcPtr)(const char* text, uint32_t kind);
typedef NPError (*NPN_GetViewPrivateProcPtr)(NPP, int32_t* viewId);

typedef struct _NPNetscapePrivateFuncs {
    uint16_t size;
    uint16_t version;  // 0 is refused
    NPN_GetURLPrivateProcPtr geturl_private;
    NPN_LogPrivateProcPtr logerror_private;
    NPN_LogPrivateProcPtr logwarning_private;
    NPN_LogPrivateProcPtr logmessage_private;
    NPN_SendMessagePrivateProcPtr sendmessage_private;
    NPN_GetViewPrivateProcPtr getview_private;
} NPNetscapePrivateFuncs;

// User-visible message kinds of sendmessage_private.
enum NPPrivateMessageKind : uint32_t {
    kNPMessageBadContent = 1,
    kNPMessageInternalError = 2
};
