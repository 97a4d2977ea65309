#include "plugin_base/np_entry.h"

#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "log/logger.h"
#include "plugin_base/browser_funcs.h"
#include "plugin_base/npn_wrappers.h"
#include "plugin_base/plugin_module.h"
#include "plugin_base/qv_plugin_base.h"

namespace {

constexpr size_t kPointer = sizeof(void*);
constexpr size_t kFirstEntry = offsetof(NPNetscapeFuncs, geturl);
constexpr size_t kLastEntry = offsetof(NPNetscapeFuncs, convertpoint);

// Copies the entries the browser's table covers: up to forceredraw always
// (the size check guarantees it), then each later entry only while the
// browser's size reaches all of it.
void copyBrowserTable(const NPNetscapeFuncs* browser) {
    NPNFuncs.size = browser->size;
    NPNFuncs.version = browser->version;
    unsigned char* to = reinterpret_cast<unsigned char*>(&NPNFuncs);
    const unsigned char* from = reinterpret_cast<const unsigned char*>(browser);
    std::memcpy(to + kFirstEntry, from + kFirstEntry, kNPNFuncsRequiredSize - kFirstEntry);
    for (size_t offset = kNPNFuncsRequiredSize; offset <= kLastEntry; offset += kPointer) {
        if (browser->size < offset + kPointer) break;
        std::memcpy(to + offset, from + offset, kPointer);
    }
}

// The logger's way out: the browser's private log service of the line's
// level. A service the browser left empty drops the line (the wrapper checks).
void deliverToBrowser(LogMessage::type level, const char* line) {
    switch (level) {
        case LogMessage::MESSAGE: NPN_LogMessage_private(line); break;
        case LogMessage::WARNING: NPN_LogWarning_private(line); break;
        case LogMessage::ERROR: NPN_LogError_private(line); break;
    }
}

// A browser without the private log services (a stock NPAPI browser) still
// shows what went wrong: warnings and errors go to its standard error, each
// line in one write so that lines of other threads and libraries stay whole.
void deliverToStandardError(LogMessage::type level, const char* line) {
    if (level == LogMessage::MESSAGE) return;
    std::string text = std::string(level == LogMessage::ERROR ? "error: " : "warning: ") + line + "\n";
    ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    (void)written;
}

// The browser's services go away with the library: no line may reach them
// from a static destructor that runs after unloading has begun.
struct LogSinkRelease {
    ~LogSinkRelease() { CLogger::setSink(nullptr); }
} gLogSinkRelease;

}  // namespace

NPError NP_Initialize(NPNetscapeFuncs* browserFuncs, NPPluginFuncs* pluginFuncs) {
    QV_LOG_ENTRY();
    if (browserFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    if ((browserFuncs->version >> 8) != 0) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (browserFuncs->size < kNPNFuncsRequiredSize) return NPERR_INVALID_FUNCTABLE_ERROR;
    copyBrowserTable(browserFuncs);
    // Until (unless) the browser provides its private log services.
    if (!hasPrivateTable()) CLogger::setSink(&deliverToStandardError);

    if (pluginFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    NPError result = fillPluginFunctionTable(pluginFuncs);
    if (result != NPERR_NO_ERROR) return result;
    return NS_PluginInitialize();
}

NPError NP_InitializePrivate(NPNetscapePrivateFuncs* privateFuncs) {
    QV_LOG_ENTRY();
    if (privateFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    if (privateFuncs->version == 0) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (privateFuncs->size < sizeof(NPNetscapePrivateFuncs)) return NPERR_INVALID_FUNCTABLE_ERROR;
    NPNPrivateFuncs = *privateFuncs;
    CLogger::setSink(&deliverToBrowser);
    return NPERR_NO_ERROR;
}

NPError NP_GetValue(void* /*future*/, NPPVariable variable, void* value) {
    QV_LOG_ENTRY();
    return NS_PluginGetValue(variable, value);
}

const char* NP_GetMIMEDescription(void) {
    QV_LOG_ENTRY();
    return NPP_GetMIMEDescription();
}

NPError NP_Shutdown(void) {
    QV_LOG_ENTRY();
    NS_PluginShutdown();
    return NPERR_NO_ERROR;
}

const char* NPP_GetMIMEDescription(void) {
    QV_LOG_ENTRY();
    const char* description = PluginGetMimeTypeDescription();
    QV_LOG(LogMessage::MESSAGE, "%s", description);
    return description;
}

NPObject* NPP_GetScriptableInstance(NPP instance) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return nullptr;
    return static_cast<_CQVPluginBase*>(instance->pdata)->GetScriptableObject();
}
