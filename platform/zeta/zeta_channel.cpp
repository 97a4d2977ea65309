#include "platform/zeta/zeta_channel.h"

#include <unistd.h>

#include <cerrno>

#include "platform/zeta/zeta_socket.h"

CZetaChannel::CZetaChannel() : mSocket(-1), mHandle(0), mConnected(false) {}

CZetaChannel::~CZetaChannel() { close(); }

std::uint32_t CZetaChannel::open(int fd) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mSocket >= 0) ::close(mSocket);
    mSocket = fd;
    mConnected = false;
    // 0 never names a link.
    if (++mHandle == 0) ++mHandle;
    return mHandle;
}

void CZetaChannel::setConnected(const SPartyID& own, const SPartyID& server) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mSocket < 0) return;
    mOwn = own;
    mServer = server;
    mConnected = true;
}

bool CZetaChannel::close() {
    std::lock_guard<std::mutex> lock(mMutex);
    bool wasConnected = mConnected;
    if (mSocket >= 0) ::close(mSocket);
    mSocket = -1;
    mConnected = false;
    return wasConnected;
}

bool CZetaChannel::isConnected() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mConnected;
}

int CZetaChannel::getSocket() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mSocket;
}

std::uint32_t CZetaChannel::getHandle() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mHandle;
}

SPartyID CZetaChannel::getOwnPartyId() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mOwn;
}

SPartyID CZetaChannel::getServerPartyId() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mServer;
}

int CZetaChannel::send(int socket, std::uint32_t handle, bool control, const void* data, std::size_t length,
                       int timeoutMs) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mSocket < 0 || socket != mSocket || handle != mHandle || (!control && !mConnected)) {
        return ENOTCONN;
    }
    return Zeta::sendDatagram(mSocket, data, length, timeoutMs);
}
