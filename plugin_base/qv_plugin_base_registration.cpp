// Registration of the instance with the browser's plug-in controller.
#include "log/logger.h"
#include "plugin_base/plugin_module.h"
#include "plugin_base/qv_plugin_base.h"
#include "platform/qv_operating_system.h"

bool _CQVPluginBase::registerPlugin() {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "aquiring lock");
    bool sent = false;
    {
        std::lock_guard<std::recursive_mutex> lock(mRegisterMutex);
        QV_LOG(LogMessage::MESSAGE, "locked, mParamIsSet = %s, mRegisterPending = %s", mParamIsSet ? "true" : "false",
               mRegisterPending ? "true" : "false");
        // Read once: the plug-in thread may stop the connection meanwhile, and the
        // transport then stays valid until this callback has returned.
        NPluginsIPCCommunications::CIPCTransportBase* ipc = transport();
        if (mParamIsSet && mRegisterPending && ipc != nullptr) {
            CQVString description(PluginGetDescription());
            CQVString mimeDescription(PluginGetMimeTypeDescription());
            QV_LOG(LogMessage::MESSAGE, "Calling requestRegister from thread %d (%s, %s, ..., %d)",
                   QVOperatingSystem::getCurrentTID(), description.c_str(), mimeDescription.c_str(), mProcessId);
            // Queued, never waiting for the controller: this may be the browser's
            // thread, and the connection thread takes this lock too.
            const int result = ipc->requestRegister(description, mimeDescription, mParams);
            if (result != 0) {
                QV_LOG(LogMessage::ERROR, "Error: the registration was not sent (%d); it is sent again when the "
                       "controller connects again", result);
            }
            ipc->notifyOnConfigPath(true);
            mRegisterPending = false;
            sent = true;
        }
    }
    QV_LOG(LogMessage::MESSAGE, "unlocked");
    return sent;
}

void _CQVPluginBase::componentConnected() {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "from thread %d", QVOperatingSystem::getCurrentTID());
    mRegisterPending = true;
    registerPlugin();
}

void _CQVPluginBase::componentDisconnected() {
    QV_LOG_ENTRY();
    mRegisterPending = false;
    mRegistered = false;
}

void _CQVPluginBase::responseRegister(NPluginsIPCCommunications::eResult result) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "responseRegister");
    if (result == 1) {
        QV_LOG(LogMessage::ERROR, "Error: RESULT_ERROR");
        return;
    }
    mRegistered = true;
    NPluginsIPCCommunications::CIPCTransportBase* ipc = transport();
    if (mInitialized && ipc != nullptr) {
        Int32 x, y, width, height;
        {
            std::lock_guard<std::mutex> lock(mWindowMutex);
            x = mWindow.x;
            y = mWindow.y;
            width = static_cast<Int32>(mWindow.width);
            height = static_cast<Int32>(mWindow.height);
        }
        ipc->requestSetWindow(x, y, width, height);
    }
}

bool _CQVPluginBase::ZetaClientAdd(void* client) {
    QV_LOG_ENTRY();
    NPluginsIPCCommunications::CIPCTransportBase* ipc = transport();
    return ipc != nullptr ? ipc->addIPCClient(client) : false;
}
