#include "ipc/orca_browser_plugin_zeta_proxy.h"

#include <cerrno>
#include <cstring>

#include "ipc/orca_browser_plugin_codec.h"
#include "log/logger.h"
#include "platform/zeta/zeta_connection.h"

using namespace OrcaBrowserPlugin;

COrcaBrowserPluginZetaProxy::COrcaBrowserPluginZetaProxy(const char* role)
    : CZetaClient(SERVICE_NAME, role, MAJOR_VERSION, MINOR_VERSION), mConfigPathState(Zeta::DATA_STATE_UNKNOWN) {}

COrcaBrowserPluginZetaProxy::~COrcaBrowserPluginZetaProxy() {}

const char* COrcaBrowserPluginZetaProxy::getUpdateIDString(unsigned int id) {
    return toString(static_cast<UpdateIdEnum>(id));
}

void COrcaBrowserPluginZetaProxy::processInternalEvent(int, void*) {}

CZetaOStream COrcaBrowserPluginZetaProxy::newRequest(UpdateIdEnum id) {
    return CZetaOStream(getChannel(), getSocket(), getHandle(), Zeta::REQUEST_TYPE_CALL, Zeta::COMMAND_INVOKE, id,
                        getOwnPartyId(), getServerPartyId(), 0);
}

int COrcaBrowserPluginZetaProxy::finish(CZetaOStream& out, bool discardable) {
    // Queued for the connection thread: the caller may be the browser's
    // thread, which must not wait for a controller that does not read.
    if (!out.post(discardable)) {
        const int status = out.getStatus();
        // A dropped input event is counted by the link instead.
        if (!(discardable && status == ENOBUFS)) {
            QV_LOG(LogMessage::ERROR, "Error: %s to %s.%s not sent: %s",
                   toString(static_cast<UpdateIdEnum>(out.getHeader().updateId)), getServiceName().c_str(),
                   getRoleName().c_str(), strerror(status));
        }
    }
    return out.getStatus();
}

int COrcaBrowserPluginZetaProxy::requestRegister(const CQVString& description, const CQVString& mimeDescription,
                                                 const TQVVector<tNameValuePair>& parameters, int browserId) {
    if (!isConnected()) return -1;
    CZetaOStream out = newRequest(UPD_ID_requestRegister);
    ZetaWriteString(out, description);
    ZetaWriteString(out, mimeDescription);
    ZetaWriteTParameterList(out, parameters);
    ZetaWriteInt32(out, browserId);
    return finish(out, false);
}

int COrcaBrowserPluginZetaProxy::requestSetWindow(unsigned int instanceId, int x, int y, int width, int height) {
    if (!isConnected()) return -1;
    CZetaOStream out = newRequest(UPD_ID_requestSetWindow);
    ZetaWriteUInt32(out, instanceId);
    ZetaWriteInt32(out, x);
    ZetaWriteInt32(out, y);
    ZetaWriteInt32(out, width);
    ZetaWriteInt32(out, height);
    return finish(out, false);
}

int COrcaBrowserPluginZetaProxy::requestKeyEvent(unsigned int instanceId, int key) {
    if (!isConnected()) return -1;
    CZetaOStream out = newRequest(UPD_ID_requestKeyEvent);
    ZetaWriteUInt32(out, instanceId);
    ZetaWriteInt32(out, key);
    return finish(out, true);
}

int COrcaBrowserPluginZetaProxy::requestMouseEvent(unsigned int instanceId, int button, int x, int y) {
    if (!isConnected()) return -1;
    CZetaOStream out = newRequest(UPD_ID_requestMouseEvent);
    ZetaWriteUInt32(out, instanceId);
    ZetaWriteInt32(out, button);
    ZetaWriteInt32(out, x);
    ZetaWriteInt32(out, y);
    return finish(out, true);
}

int COrcaBrowserPluginZetaProxy::requestButtonEvent(unsigned int instanceId, int button) {
    if (!isConnected()) return -1;
    CZetaOStream out = newRequest(UPD_ID_requestButtonEvent);
    ZetaWriteUInt32(out, instanceId);
    ZetaWriteInt32(out, button);
    return finish(out, true);
}

int COrcaBrowserPluginZetaProxy::requestDataAvailableEvent(unsigned int instanceId, const CQVString& data) {
    if (!isConnected()) return -1;
    CZetaOStream out = newRequest(UPD_ID_requestDataAvailableEvent);
    ZetaWriteUInt32(out, instanceId);
    ZetaWriteString(out, data);
    return finish(out, false);
}

int COrcaBrowserPluginZetaProxy::requestDeregister(unsigned int instanceId) {
    if (!isConnected()) return -1;
    CZetaOStream out = newRequest(UPD_ID_requestDeregister);
    ZetaWriteUInt32(out, instanceId);
    return finish(out, false);
}

void COrcaBrowserPluginZetaProxy::processResponse(CZetaIStream& in) {
    if (!in.isValid()) return;
    const UInt32 type = in.getTypeCode();
    const UInt32 id = in.getUpdateId();
    if (type == Zeta::RESULT_INVALID) {
        readErrorEnumerator(in);
        responseInvalid(static_cast<UpdateIdEnum>(id));
        return;
    }
    const Zeta::ResultType failure = static_cast<Zeta::ResultType>(type);
    eResult result = RESULT_OK;
    switch (id) {
        case UPD_ID_requestRegister:
            readErrorEnumerator(in);
            requestRegisterFailed(failure);
            return;
        case UPD_ID_requestSetWindow:
            readErrorEnumerator(in);
            requestSetWindowFailed(failure);
            return;
        case UPD_ID_requestKeyEvent:
            readErrorEnumerator(in);
            requestKeyEventFailed(failure);
            return;
        case UPD_ID_requestMouseEvent:
            readErrorEnumerator(in);
            requestMouseEventFailed(failure);
            return;
        case UPD_ID_requestButtonEvent:
            readErrorEnumerator(in);
            requestButtonEventFailed(failure);
            return;
        case UPD_ID_requestDataAvailableEvent:
            readErrorEnumerator(in);
            requestDataAvailableEventFailed(failure);
            return;
        case UPD_ID_requestDeregister:
            readErrorEnumerator(in);
            requestDeregisterFailed(failure);
            return;
        case UPD_ID_responseRegister: {
            UInt32 instanceId = 0;
            ZetaReadUInt32(in, instanceId);
            ZetaReadEResult(in, result);
            if (in.getError() == 0) responseRegister(instanceId, result);
            return;
        }
        case UPD_ID_ConfigPath:
            handleConfigPath(in);
            return;
        default:
            break;
    }
    if (id < UPD_ID_responseSetWindow || id > UPD_ID_responseDataAvailableEvent) return;
    if (!ZetaReadEResult(in, result)) return;
    switch (id) {
        case UPD_ID_responseSetWindow: responseSetWindow(result); break;
        case UPD_ID_responseKeyEvent: responseKeyEvent(result); break;
        case UPD_ID_responseMouseEvent: responseMouseEvent(result); break;
        case UPD_ID_responseButtonEvent: responseButtonEvent(result); break;
        case UPD_ID_responseDeregister: responseDeregister(result); break;
        case UPD_ID_responseDataAvailableEvent: responseDataAvailableEvent(result); break;
        default: break;
    }
}

void COrcaBrowserPluginZetaProxy::handleConfigPath(CZetaIStream& in) {
    if (in.getTypeCode() != Zeta::RESULT_DATA_VALID) {
        mConfigPathState.store(Zeta::DATA_STATE_INVALID);
        onConfigPathUpdate(mConfigPath, Zeta::DATA_STATE_INVALID);
        return;
    }
    CQVString path;
    const bool whole = ZetaReadString(in, path);
    {
        std::lock_guard<std::mutex> lock(mConfigPathMutex);
        mConfigPath = path;  // empty when it did not arrive whole
    }
    mConfigPathState.store(whole ? Zeta::DATA_STATE_VALID : Zeta::DATA_STATE_INVALID);
    if (whole) onConfigPathUpdate(mConfigPath, Zeta::DATA_STATE_VALID);
}

CQVString COrcaBrowserPluginZetaProxy::getConfigPathCopy() const {
    std::lock_guard<std::mutex> lock(mConfigPathMutex);
    return mConfigPath;
}

void COrcaBrowserPluginZetaProxy::notifyOnConfigPath(bool enable) {
    if (enable) {
        setNotification(UPD_ID_ConfigPath);
    } else {
        clearNotification(UPD_ID_ConfigPath);
    }
}

void COrcaBrowserPluginZetaProxy::postInternalEvent(int event, void* data) {
    CZetaConnection* connection = getConnection();
    if (connection != nullptr) connection->postInternalEvent(Zeta::INTERNAL_EVENT_CODE, getClientId(), event, data);
}

void COrcaBrowserPluginZetaProxy::sendInternalEvent(int event, void* data) {
    CZetaConnection* connection = getConnection();
    if (connection != nullptr) connection->sendInternalEvent(Zeta::INTERNAL_EVENT_CODE, getClientId(), event, data);
}

void COrcaBrowserPluginZetaProxy::readErrorEnumerator(CZetaIStream&) {}

void COrcaBrowserPluginZetaProxy::onConfigPathUpdate(const CQVString&, Zeta::DataStateType) {}
void COrcaBrowserPluginZetaProxy::requestRegisterFailed(Zeta::ResultType) {}
void COrcaBrowserPluginZetaProxy::requestSetWindowFailed(Zeta::ResultType) {}
void COrcaBrowserPluginZetaProxy::requestKeyEventFailed(Zeta::ResultType) {}
void COrcaBrowserPluginZetaProxy::requestMouseEventFailed(Zeta::ResultType) {}
void COrcaBrowserPluginZetaProxy::requestButtonEventFailed(Zeta::ResultType) {}
void COrcaBrowserPluginZetaProxy::requestDataAvailableEventFailed(Zeta::ResultType) {}
void COrcaBrowserPluginZetaProxy::requestDeregisterFailed(Zeta::ResultType) {}
void COrcaBrowserPluginZetaProxy::responseInvalid(UpdateIdEnum) {}
void COrcaBrowserPluginZetaProxy::responseRegister(unsigned int, eResult) {}
void COrcaBrowserPluginZetaProxy::responseSetWindow(eResult) {}
void COrcaBrowserPluginZetaProxy::responseKeyEvent(eResult) {}
void COrcaBrowserPluginZetaProxy::responseMouseEvent(eResult) {}
void COrcaBrowserPluginZetaProxy::responseButtonEvent(eResult) {}
void COrcaBrowserPluginZetaProxy::responseDeregister(eResult) {}
void COrcaBrowserPluginZetaProxy::responseDataAvailableEvent(eResult) {}
