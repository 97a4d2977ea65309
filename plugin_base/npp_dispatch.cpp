#include "plugin_base/npp_dispatch.h"

#include "log/logger.h"
#include "plugin_base/np_entry.h"
#include "plugin_base/plugin_module.h"
#include "plugin_base/qv_plugin_base.h"

namespace {
constexpr int32_t kWriteReadyAll = 0x0FFFFFFF;
constexpr uint16_t kPluginTableVersion = 24;

_CQVPluginBase* pluginOf(NPP instance) { return static_cast<_CQVPluginBase*>(instance->pdata); }
}  // namespace

NPError fillPluginFunctionTable(NPPluginFuncs* pluginFuncs) {
    QV_LOG_ENTRY();
    if (pluginFuncs->size < sizeof(NPPluginFuncs)) {
        QV_LOG(LogMessage::ERROR, "Compiler error: Size of NPPluginFuncs does not match! %d < %d",
               static_cast<int>(pluginFuncs->size), static_cast<int>(sizeof(NPPluginFuncs)));
        QV_LOG(LogMessage::ERROR, "                Size of one function pointer: %d",
               static_cast<int>(sizeof(void*)));
        return NPERR_INVALID_FUNCTABLE_ERROR;
    }
    pluginFuncs->version = kPluginTableVersion;
    pluginFuncs->newp = NPP_New;
    pluginFuncs->destroy = NPP_Destroy;
    pluginFuncs->setwindow = NPP_SetWindow;
    pluginFuncs->newstream = NPP_NewStream;
    pluginFuncs->destroystream = NPP_DestroyStream;
    pluginFuncs->asfile = NPP_StreamAsFile;
    pluginFuncs->writeready = NPP_WriteReady;
    pluginFuncs->write = NPP_Write;
    pluginFuncs->print = NPP_Print;
    pluginFuncs->event = NPP_HandleEvent;
    pluginFuncs->urlnotify = NPP_URLNotify;
    pluginFuncs->javaClass = NPP_GetJavaClass;
    pluginFuncs->getvalue = NPP_GetValue;
    pluginFuncs->setvalue = NPP_SetValue;
    pluginFuncs->gotfocus = NPP_GotFocus;
    pluginFuncs->lostfocus = NPP_LostFocus;
    pluginFuncs->urlredirectnotify = NPP_URLRedirectNotify;
    pluginFuncs->clearsitedata = NPP_ClearSiteData;
    pluginFuncs->getsiteswithdata = NPP_GetSitesWithData;
    return NPERR_NO_ERROR;
}

NPError NPP_New(NPMIMEType type, NPP instance, uint16_t mode, int16_t argc, char* argn[], char* argv[],
                NPSavedData* saved) {
    QV_LOG_ENTRY();
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    nsPluginCreateData data{instance, type, mode, argc, argn, argv, saved};
    _CQVPluginBase* plugin = _NS_NewPluginInstance(&data);
    if (plugin == nullptr) return NPERR_OUT_OF_MEMORY_ERROR;
    instance->pdata = plugin;
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData** save) {
    QV_LOG_ENTRY();
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    _CQVPluginBase* plugin = pluginOf(instance);
    if (plugin == nullptr) return NPERR_NO_ERROR;
    plugin->shut(save);
    NS_DestroyPluginInstance(plugin);
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
    QV_LOG_ENTRY();
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (window == nullptr) return NPERR_GENERIC_ERROR;
    _CQVPluginBase* plugin = pluginOf(instance);
    if (plugin == nullptr) return NPERR_GENERIC_ERROR;
    if (!plugin->isInitialized() && !plugin->init(window)) {
        NS_DestroyPluginInstance(plugin);
        // No later call for this instance may reach the deleted object.
        instance->pdata = nullptr;
        return NPERR_MODULE_LOAD_FAILED_ERROR;
    }
    if (window->window == nullptr) return plugin->SetWindow(window);
    if (plugin->isInitialized()) return plugin->SetWindow(window);
    return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype) {
    QV_LOG_ENTRY();
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (instance->pdata == nullptr) return NPERR_GENERIC_ERROR;
    return pluginOf(instance)->NewStream(type, stream, seekable, stype);
}

NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason) {
    QV_LOG_ENTRY();
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (instance->pdata == nullptr) return NPERR_GENERIC_ERROR;
    return pluginOf(instance)->DestroyStream(stream, reason);
}

void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return;
    pluginOf(instance)->StreamAsFile(stream, fname);
}

int32_t NPP_WriteReady(NPP instance, NPStream* stream) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return kWriteReadyAll;
    return pluginOf(instance)->WriteReady(stream);
}

int32_t NPP_Write(NPP instance, NPStream* stream, int32_t offset, int32_t len, void* buffer) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return len;
    return pluginOf(instance)->Write(stream, offset, len, buffer);
}

void NPP_Print(NPP instance, NPPrint* platformPrint) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return;
    pluginOf(instance)->Print(platformPrint);
}

int16_t NPP_HandleEvent(NPP instance, void* event) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return 0;
    return static_cast<int16_t>(pluginOf(instance)->HandleEvent(event));
}

void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return;
    pluginOf(instance)->URLNotify(url, reason, notifyData);
}

void* NPP_GetJavaClass(void) {
    QV_LOG_ENTRY();
    return nullptr;
}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
    QV_LOG_ENTRY();
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (instance->pdata == nullptr) return NPERR_GENERIC_ERROR;
    return pluginOf(instance)->GetValue(variable, value);
}

NPError NPP_SetValue(NPP instance, NPNVariable variable, void* value) {
    QV_LOG_ENTRY();
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (instance->pdata == nullptr) return NPERR_GENERIC_ERROR;
    return pluginOf(instance)->SetValue(variable, value);
}

NPBool NPP_GotFocus(NPP instance, NPFocusDirection direction) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return false;
    return pluginOf(instance)->GotFocus(direction);
}

void NPP_LostFocus(NPP instance) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return;
    pluginOf(instance)->LostFocus();
}

void NPP_URLRedirectNotify(NPP instance, const char* url, int32_t status, void* notifyData) {
    QV_LOG_ENTRY();
    if (instance == nullptr || instance->pdata == nullptr) return;
    pluginOf(instance)->URLRedirectNotify(url, status, notifyData);
}

NPError NPP_ClearSiteData(const char* /*site*/, uint64_t /*flags*/, uint64_t /*maxAge*/) {
    QV_LOG_ENTRY();
    return NPERR_NO_ERROR;
}

char** NPP_GetSitesWithData(void) {
    QV_LOG_ENTRY();
    return nullptr;
}
