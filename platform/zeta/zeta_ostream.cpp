#include "platform/zeta/zeta_ostream.h"

#include <cerrno>
#include <cstring>

#include "platform/zeta/zeta_channel.h"
#include "platform/zeta/zeta_socket.h"

CZetaOStream::CZetaOStream(CZetaChannel* channel, int socket, std::uint32_t handle, Zeta::RequestType requestType,
                           Zeta::Command command, std::uint32_t updateId, const SPartyID& sender,
                           const SPartyID& receiver, std::uint32_t flags)
    : mChannel(channel), mSocket(socket), mHandle(handle), mStatus(0) {
    setGrowsWithPosition(true);
    mHeader.requestType = requestType;
    mHeader.command = command;
    mHeader.updateId = updateId;
    mHeader.sender = sender;
    mHeader.receiver = receiver;
    mHeader.flags = flags;
    if (setCapacity(Zeta::HEADER_SIZE)) {
        setPosition(Zeta::HEADER_SIZE);
    } else {
        setError(ENOMEM);
    }
}

bool CZetaOStream::write(const void* data, std::size_t length) {
    if (mError != 0) return false;
    if (!setCapacity(mPosition + length)) {
        setError(errno == EMSGSIZE ? EMSGSIZE : ENOMEM);
        return false;
    }
    if (length != 0) std::memcpy(mBuffer + mPosition, data, length);
    setPosition(mPosition + length);
    return true;
}

void CZetaOStream::sealHeader() {
    if (mCapacity < Zeta::HEADER_SIZE) return;
    mHeader.payloadLength = static_cast<std::uint32_t>(mSize - Zeta::HEADER_SIZE);
    Zeta::writeHeader(mBuffer, mHeader);
}

bool CZetaOStream::send(int timeoutMs) {
    if (mError != 0) {
        mStatus = mError;
        return false;
    }
    sealHeader();
    const bool control = mHeader.requestType == Zeta::REQUEST_TYPE_CONTROL;
    if (mChannel != nullptr) {
        mStatus = mChannel->send(mSocket, mHandle, control, mBuffer, mSize, timeoutMs);
    } else if (mSocket >= 0) {
        mStatus = Zeta::sendDatagram(mSocket, mBuffer, mSize, timeoutMs);
    } else {
        mStatus = ENOTCONN;
    }
    return mStatus == 0;
}

bool CZetaOStream::post(bool discardable) {
    if (mChannel == nullptr) return send(0);
    if (mError != 0) {
        mStatus = mError;
        return false;
    }
    sealHeader();
    const bool control = mHeader.requestType == Zeta::REQUEST_TYPE_CONTROL;
    mStatus = mChannel->post(mSocket, mHandle, control, discardable, mHeader.updateId, mBuffer, mSize);
    return mStatus == 0;
}
