#include "ipc/zeta_ipc_adapter.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

#include "ipc/controller_role.h"
#include "ipc/register_message_fit.h"
#include "log/logger.h"
#include "platform/qv_operating_system.h"
#include "platform/zeta/zeta_types.h"

namespace NPluginsIPCCommunications {

namespace {
const char* const kRefused = "Zeta proxy wasn`t added to ZetaConnection";
}

CZetaIPCAdapter::CZetaIPCAdapter(CIPCConsumerBase* consumer)
    : CIPCTransportBase(consumer),
      COrcaBrowserPluginZetaProxy(getControllerRoleName()),
      mInstanceId(0),
      mThread(new (std::nothrow) CZetaThread()),
      mProxyAdded(false) {
    if (mThread == nullptr) return;
    // Set before adding: once added, the connection thread may call back at
    // once, and a registration sent from there must not be refused.
    mProxyAdded.store(true);
    if (!mThread->getConnection().add(static_cast<COrcaBrowserPluginZetaProxy*>(this))) {
        mProxyAdded.store(false);
        QV_LOG(LogMessage::ERROR, "Error while to add Zeta proxy to Zeta connection");
    }
}

CZetaIPCAdapter::~CZetaIPCAdapter() {
    if (mThread != nullptr) {
        mThread->stop(0);
        delete mThread;
        mThread = nullptr;
    }
}

Int32 CZetaIPCAdapter::getBrowserPID() const {
    const char* text = std::getenv("QV_BROWSER_ID");
    if (text == nullptr || text[0] == '\0') {
        return QVOperatingSystem::getCurrentPID();
    }
    errno = 0;
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<Int32>(value);
}

bool CZetaIPCAdapter::addIPCClient(void* client) {
    QV_LOG_ENTRY();
    if (client == nullptr || mThread == nullptr) return false;
    return mThread->getConnection().add(static_cast<CZetaClient*>(client));
}

int CZetaIPCAdapter::requestRegister(const CQVString& description, const CQVString& mimeDescription,
                                     const tParameterList& parameters) {
    QV_LOG_ENTRY();
    if (!mProxyAdded.load()) {
        QV_LOG(LogMessage::ERROR, "%s", kRefused);
        responseRegister(0, OrcaBrowserPlugin::RESULT_ERROR);
        return 0;
    }
    TQVVector<OrcaBrowserPlugin::tNameValuePair> list;
    for (int i = 0; i < parameters.size(); ++i) {
        list.push_back(OrcaBrowserPlugin::tNameValuePair(parameters.get(i).name, parameters.get(i).value));
    }
    // Better registered without an overlong attribute than not at all.
    OrcaBrowserPlugin::fitRegisterMessage(description, mimeDescription, list, Zeta::MAX_MESSAGE_SIZE);
    std::lock_guard<std::mutex> lock(mMutex);
    return COrcaBrowserPluginZetaProxy::requestRegister(description, mimeDescription, list, getBrowserPID());
}

int CZetaIPCAdapter::requestSetWindow(const Int32& x, const Int32& y, const Int32& width, const Int32& height) {
    QV_LOG_ENTRY();
    if (!mProxyAdded.load()) {
        QV_LOG(LogMessage::ERROR, "%s", kRefused);
        responseSetWindow(OrcaBrowserPlugin::RESULT_ERROR);
        return 0;
    }
    return COrcaBrowserPluginZetaProxy::requestSetWindow(mInstanceId.load(), x, y, width, height);
}

int CZetaIPCAdapter::requestKeyEvent(const Int32& key) {
    QV_LOG_ENTRY();
    if (!mProxyAdded.load()) {
        QV_LOG(LogMessage::ERROR, "%s", kRefused);
        responseKeyEvent(OrcaBrowserPlugin::RESULT_ERROR);
        return 0;
    }
    return COrcaBrowserPluginZetaProxy::requestKeyEvent(mInstanceId.load(), key);
}

int CZetaIPCAdapter::requestMouseEvent(const Int32& button, const Int32& x, const Int32& y) {
    QV_LOG_ENTRY();
    if (!mProxyAdded.load()) {
        QV_LOG(LogMessage::ERROR, "%s", kRefused);
        responseMouseEvent(OrcaBrowserPlugin::RESULT_ERROR);
        return 0;
    }
    return COrcaBrowserPluginZetaProxy::requestMouseEvent(mInstanceId.load(), button, x, y);
}

int CZetaIPCAdapter::requestButtonEvent(const Int32& button) {
    QV_LOG_ENTRY();
    if (!mProxyAdded.load()) {
        QV_LOG(LogMessage::ERROR, "%s", kRefused);
        responseButtonEvent(OrcaBrowserPlugin::RESULT_ERROR);
        return 0;
    }
    return COrcaBrowserPluginZetaProxy::requestButtonEvent(mInstanceId.load(), button);
}

int CZetaIPCAdapter::requestDataAvailableEvent(const CQVString& data) {
    QV_LOG_ENTRY();
    if (!mProxyAdded.load()) {
        QV_LOG(LogMessage::ERROR, "%s", kRefused);
        responseDataAvailableEvent(OrcaBrowserPlugin::RESULT_ERROR);
        return 0;
    }
    return COrcaBrowserPluginZetaProxy::requestDataAvailableEvent(mInstanceId.load(), data);
}

int CZetaIPCAdapter::requestDeregister() {
    QV_LOG_ENTRY();
    if (!mProxyAdded.load()) {
        QV_LOG(LogMessage::ERROR, "%s", kRefused);
        responseDeregister(OrcaBrowserPlugin::RESULT_ERROR);
        return 0;
    }
    return COrcaBrowserPluginZetaProxy::requestDeregister(mInstanceId.load());
}

void CZetaIPCAdapter::notifyOnConfigPath(bool enable) {
    QV_LOG_ENTRY();
    COrcaBrowserPluginZetaProxy::notifyOnConfigPath(enable);
}

bool CZetaIPCAdapter::isConfigPathValid() const {
    QV_LOG_ENTRY();
    return getConfigPathState() == Zeta::DATA_STATE_VALID;
}

const CQVString& CZetaIPCAdapter::getConfigPath() const {
    // The stored path changes on the connection thread; each caller gets a
    // copy of its own to hold on to.
    static thread_local CQVString copy;
    copy = getConfigPathCopy();
    QV_LOG(LogMessage::MESSAGE, "configPath: %s", copy.c_str());
    return copy;
}

void CZetaIPCAdapter::componentConnected() {
    QV_LOG_ENTRY();
    if (mConsumer == nullptr) {
        QV_LOG(LogMessage::ERROR, "Consumer is missing");
        return;
    }
    mConsumer->componentConnected();
}

void CZetaIPCAdapter::componentDisconnected() {
    QV_LOG_ENTRY();
    if (mConsumer == nullptr) {
        QV_LOG(LogMessage::ERROR, "Consumer is missing");
        return;
    }
    mConsumer->componentDisconnected();
}

void CZetaIPCAdapter::responseRegister(UInt32 instanceId, OrcaBrowserPlugin::eResult result) {
    QV_LOG(LogMessage::MESSAGE, "ID:%d, Result:%d", static_cast<int>(instanceId), static_cast<int>(result));
    mInstanceId.store(instanceId);
    if (mConsumer == nullptr) {
        QV_LOG(LogMessage::ERROR, "Consumer is missing");
        return;
    }
    mConsumer->responseRegister(static_cast<eResult>(result));
}

// The answers below differ only in the consumer operation they reach.
#define RRZ_FORWARD_ANSWER(operation)                                          \
    void CZetaIPCAdapter::operation(OrcaBrowserPlugin::eResult result) {       \
        QV_LOG(LogMessage::MESSAGE, "Result:%d", static_cast<int>(result));    \
        if (mConsumer == nullptr) {                                            \
            QV_LOG(LogMessage::ERROR, "Consumer is missing");                  \
            return;                                                            \
        }                                                                      \
        mConsumer->operation(static_cast<eResult>(result));                    \
    }

RRZ_FORWARD_ANSWER(responseSetWindow)
RRZ_FORWARD_ANSWER(responseKeyEvent)
RRZ_FORWARD_ANSWER(responseMouseEvent)
RRZ_FORWARD_ANSWER(responseButtonEvent)
RRZ_FORWARD_ANSWER(responseDeregister)
RRZ_FORWARD_ANSWER(responseDataAvailableEvent)

#undef RRZ_FORWARD_ANSWER

void CZetaIPCAdapter::onConfigPathUpdate(const CQVString& configPath, Zeta::DataStateType state) {
    QV_LOG(LogMessage::MESSAGE, "ConfigPath:%s,State:%d", configPath.c_str(), static_cast<int>(state));
    if (state != Zeta::DATA_STATE_VALID) return;
    if (mConsumer == nullptr) {
        QV_LOG(LogMessage::ERROR, "Consumer is missing");
        return;
    }
    mConsumer->onConfigPathUpdate(configPath);
}

}  // namespace NPluginsIPCCommunications
