#include "platform/zeta/zeta_client.h"

#include <cerrno>
#include <cstring>

#include "log/logger.h"
#include "platform/zeta/zeta_ostream.h"

CZetaClient::CZetaClient(const char* service, const char* role, std::uint32_t majorVersion,
                         std::uint32_t minorVersion)
    : mService(service != nullptr ? service : ""),
      mRole(role != nullptr ? role : ""),
      mMajor(majorVersion),
      mMinor(minorVersion),
      mChannel(mService + "." + mRole),
      mConnection(nullptr),
      mClientId(0) {}

CZetaClient::~CZetaClient() {}

const char* CZetaClient::getUpdateIDString(unsigned int /*id*/) { return "UPD_ID_NOP"; }

void CZetaClient::processInternalEvent(int /*event*/, void* /*data*/) {}

void CZetaClient::cleanup() {}

bool CZetaClient::setNotification(std::uint32_t updateId) {
    std::lock_guard<std::mutex> lock(mSubscriptionMutex);
    if (!mSubscriptions.insert(updateId).second) return true;
    if (!mChannel.isConnected()) return true;
    return sendControl(Zeta::COMMAND_SUBSCRIBE, updateId);
}

bool CZetaClient::clearNotification(std::uint32_t updateId) {
    std::lock_guard<std::mutex> lock(mSubscriptionMutex);
    if (mSubscriptions.erase(updateId) == 0) return true;
    if (!mChannel.isConnected()) return true;
    return sendControl(Zeta::COMMAND_UNSUBSCRIBE, updateId);
}

bool CZetaClient::hasNotification(std::uint32_t updateId) const {
    std::lock_guard<std::mutex> lock(mSubscriptionMutex);
    return mSubscriptions.count(updateId) != 0;
}

void CZetaClient::linkAccepted(const SPartyID& own, const SPartyID& server) {
    std::lock_guard<std::mutex> lock(mSubscriptionMutex);
    mChannel.setConnected(own, server);
    for (std::uint32_t updateId : mSubscriptions) {
        sendControl(Zeta::COMMAND_SUBSCRIBE, updateId);
    }
}

bool CZetaClient::sendControl(Zeta::Command command, std::uint32_t updateId) {
    CZetaOStream out(&mChannel, mChannel.getSocket(), mChannel.getHandle(), Zeta::REQUEST_TYPE_CONTROL, command,
                     updateId, mChannel.getOwnPartyId(), mChannel.getServerPartyId(), 0);
    if (!out.post(false)) {
        QV_LOG(LogMessage::ERROR, "Error: %s of update 0x%x on %s.%s failed: %s",
               command == Zeta::COMMAND_SUBSCRIBE ? "subscription" : "unsubscription", updateId, mService.c_str(),
               mRole.c_str(), strerror(out.getStatus()));
        return false;
    }
    return true;
}
