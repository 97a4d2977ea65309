#include "ipc/ipc_transport_base.h"
#include "log/logger.h"

namespace NPluginsIPCCommunications {

void CIPCConsumerBase::responseButtonEvent(eResult) { QV_LOG_ENTRY(); }
void CIPCConsumerBase::responseDataAvailableEvent(eResult) { QV_LOG_ENTRY(); }
void CIPCConsumerBase::responseDeregister(eResult) { QV_LOG_ENTRY(); }
void CIPCConsumerBase::responseKeyEvent(eResult) { QV_LOG_ENTRY(); }
void CIPCConsumerBase::responseMouseEvent(eResult) { QV_LOG_ENTRY(); }
void CIPCConsumerBase::responseRegister(eResult) { QV_LOG_ENTRY(); }
void CIPCConsumerBase::responseSetWindow(eResult) { QV_LOG_ENTRY(); }
void CIPCConsumerBase::componentConnected() { QV_LOG_ENTRY(); }
void CIPCConsumerBase::componentDisconnected() { QV_LOG_ENTRY(); }
void CIPCConsumerBase::onConfigPathUpdate(const CQVString&) { QV_LOG_ENTRY(); }
CIPCConsumerBase::~CIPCConsumerBase() {}

CIPCTransportBase::CIPCTransportBase(CIPCConsumerBase* consumer) : mConsumer(consumer) {}
CIPCTransportBase::~CIPCTransportBase() { mConsumer = nullptr; }

bool CIPCTransportBase::addIPCClient(void*) {
    QV_LOG_ENTRY();
    return true;
}
int CIPCTransportBase::requestButtonEvent(const Int32&) {
    QV_LOG_ENTRY();
    return 0;
}
int CIPCTransportBase::requestDataAvailableEvent(const CQVString&) {
    QV_LOG_ENTRY();
    return 0;
}
int CIPCTransportBase::requestDeregister() {
    QV_LOG_ENTRY();
    return 0;
}
int CIPCTransportBase::requestKeyEvent(const Int32&) {
    QV_LOG_ENTRY();
    return 0;
}
int CIPCTransportBase::requestMouseEvent(const Int32&, const Int32&, const Int32&) {
    QV_LOG_ENTRY();
    return 0;
}
int CIPCTransportBase::requestRegister(const CQVString&, const CQVString&, const tParameterList&) {
    QV_LOG_ENTRY();
    return 0;
}
int CIPCTransportBase::requestSetWindow(const Int32&, const Int32&, const Int32&, const Int32&) {
    QV_LOG_ENTRY();
    return 0;
}
void CIPCTransportBase::notifyOnConfigPath(bool) { QV_LOG_ENTRY(); }
bool CIPCTransportBase::isConfigPathValid() const {
    QV_LOG_ENTRY();
    return false;
}
const CQVString& CIPCTransportBase::getConfigPath() const {
    QV_LOG_ENTRY();
    // Thread-safe one-time construction; destroyed at process exit.
    static const CQVString empty;
    return empty;
}

}  // namespace NPluginsIPCCommunications
