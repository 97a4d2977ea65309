#include "plugin_base/plugin_module.h"

#include <cstdlib>

#include "ipc/controller_role.h"
#include "log/logger.h"
#include "plugin_base/qv_plugin_base.h"

NPError NS_PluginInitialize() {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "Compiled: %s - %s", __DATE__, __TIME__);
    if (const char* role = std::getenv("ROLEPLUGINCTRL")) {
        NPluginsIPCCommunications::setControllerRoleName(role);
        QV_LOG(LogMessage::MESSAGE, "Set role=%s for OrcaBrowserPluginZetaProxy",
               NPluginsIPCCommunications::getControllerRoleName());
    }
    return NPERR_NO_ERROR;
}

void NS_PluginShutdown() {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "%s", PluginGetName());
}

NPError NS_PluginGetValue(NPPVariable variable, void* value) {
    QV_LOG_ENTRY();
    if (value == nullptr) {
        QV_LOG(LogMessage::ERROR, "Variable aValue is NULL");
        return NPERR_INVALID_PARAM;
    }
    switch (variable) {
        case NPPVpluginNameString:
            QV_LOG(LogMessage::MESSAGE, "NPPVpluginNameString=%s", PluginGetName());
            *static_cast<const char**>(value) = PluginGetName();
            return NPERR_NO_ERROR;
        case NPPVpluginDescriptionString:
            QV_LOG(LogMessage::MESSAGE, "NPPVpluginDescriptionString=%s", PluginGetDescription());
            *static_cast<const char**>(value) = PluginGetDescription();
            return NPERR_NO_ERROR;
        default:
            QV_LOG(LogMessage::ERROR, "Error: NPPVariable=%d (0x%X)", static_cast<int>(variable),
                   static_cast<unsigned>(variable));
            return NPERR_INVALID_PARAM;
    }
}

_CQVPluginBase* _NS_NewPluginInstance(nsPluginCreateData* data) {
    QV_LOG_ENTRY();
    if (data == nullptr) return nullptr;
    QV_LOG(LogMessage::MESSAGE, "Create plugin instance for MimeType=%s", data->type ? data->type : "");
    _CQVPluginBase* plugin = NS_NewPluginInstance(data);
    if (plugin == nullptr) {
        QV_LOG(LogMessage::MESSAGE, "Error: NS_NewPluginInstance () returned NULL!");
        return nullptr;
    }
    plugin->startControllerConnection();
    QV_LOG(LogMessage::MESSAGE, "Calling plugin 0x%p->setParam (0x%p)", static_cast<void*>(plugin),
           static_cast<void*>(data));
    plugin->setParam(data);
    return plugin;
}

void NS_DestroyPluginInstance(_CQVPluginBase* plugin) {
    QV_LOG_ENTRY();
    if (plugin == nullptr) return;
    if (plugin->isTreadRunning()) {
        QV_LOG(LogMessage::MESSAGE, "WARNING: Wait until tread has finished!");
        plugin->shut(nullptr);
    }
    plugin->stopControllerConnection();
    delete plugin;
}
