#include "platform/zeta/zeta_channel.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "log/logger.h"
#include "platform/zeta/zeta_socket.h"

CZetaChannel::CZetaChannel(const std::string& label)
    : mLabel(label),
      mSocket(-1),
      mHandle(0),
      mConnected(false),
      mWakeFd(-1),
      mQueuedBytes(0),
      mDropped(0),
      mBackedUp(false) {}

CZetaChannel::~CZetaChannel() { close(); }

std::uint32_t CZetaChannel::open(int fd) {
    std::size_t discarded = 0;
    unsigned long dropped = 0;
    std::uint32_t handle;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mSocket >= 0) ::close(mSocket);
        discarded = discardQueueLocked(&dropped);
        mSocket = fd;
        mConnected = false;
        // 0 never names a link.
        if (++mHandle == 0) ++mHandle;
        handle = mHandle;
    }
    logDiscarded(discarded, dropped);
    return handle;
}

void CZetaChannel::setConnected(const SPartyID& own, const SPartyID& server) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mSocket < 0) return;
    mOwn = own;
    mServer = server;
    mConnected = true;
}

bool CZetaChannel::close() {
    std::size_t discarded = 0;
    unsigned long dropped = 0;
    bool wasConnected;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        wasConnected = mConnected;
        if (mSocket >= 0) ::close(mSocket);
        mSocket = -1;
        mConnected = false;
        discarded = discardQueueLocked(&dropped);
    }
    logDiscarded(discarded, dropped);
    return wasConnected;
}

void CZetaChannel::setWakeFd(int fd) {
    std::lock_guard<std::mutex> lock(mMutex);
    mWakeFd = fd;
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
    if (timeoutMs < 0) timeoutMs = Zeta::DEFAULT_SEND_TIMEOUT_MS;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int fd;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mSocket < 0 || socket != mSocket || handle != mHandle || (!control && !mConnected)) {
                return ENOTCONN;
            }
            const int error = Zeta::sendDatagram(mSocket, data, length, 0);
            if (error != ETIMEDOUT) return error;
            fd = mSocket;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return ETIMEDOUT;
        // Waits for room unlocked, so that posting and the connection thread
        // go on meanwhile. Should the link close, the descriptor reports an
        // error or, reused, a spurious wake-up: the check above runs again.
        pollfd entry{fd, POLLOUT, 0};
        poll(&entry, 1, static_cast<int>(left));
    }
}

int CZetaChannel::post(int socket, std::uint32_t handle, bool control, bool discardable, std::uint32_t updateId,
                       const void* data, std::size_t length) {
    bool dropsBegin = false;
    std::size_t waiting = 0;
    int result = 0;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mSocket < 0 || socket != mSocket || handle != mHandle || (!control && !mConnected)) {
            return ENOTCONN;
        }
        if (mQueue.size() >= Zeta::MAX_QUEUED_MESSAGES) {
            auto oldest = std::find_if(mQueue.begin(), mQueue.end(), [](const Queued& q) { return q.discardable; });
            if (oldest != mQueue.end()) {
                mQueuedBytes -= oldest->bytes.size();
                mQueue.erase(oldest);
                dropsBegin = ++mDropped == 1;
            } else if (discardable) {
                dropsBegin = ++mDropped == 1;
                result = ENOBUFS;
            }
        }
        if (result == 0 && mQueuedBytes + length > Zeta::MAX_QUEUED_BYTES) {
            if (discardable) dropsBegin = ++mDropped == 1;
            result = ENOBUFS;
        }
        if (result == 0) {
            const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
            mQueue.push_back(Queued{std::vector<std::uint8_t>(bytes, bytes + length), updateId, discardable});
            mQueuedBytes += length;
            if (mWakeFd >= 0) {
                const std::uint64_t one = 1;
                // Non-blocking eventfd: a full counter is as good as a write.
                if (write(mWakeFd, &one, sizeof(one)) < 0) {
                }
            }
        }
        waiting = mQueue.size();
    }
    if (dropsBegin) {
        QV_LOG(LogMessage::WARNING, "Warning: %s: %zu messages wait to be sent; the oldest input events are dropped",
               mLabel.c_str(), waiting);
    }
    return result;
}

bool CZetaChannel::flush(std::vector<SendFailure>* failures) {
    unsigned long dropped = 0;
    bool remaining;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        while (!mQueue.empty() && mSocket >= 0) {
            Queued& next = mQueue.front();
            const int error = Zeta::sendDatagram(mSocket, next.bytes.data(), next.bytes.size(), 0);
            if (error == ETIMEDOUT) {  // no room now
                mBackedUp = true;
                break;
            }
            if (error != 0 && failures != nullptr) failures->push_back(SendFailure{next.updateId, error});
            mQueuedBytes -= next.bytes.size();
            mQueue.pop_front();
        }
        remaining = !mQueue.empty();
        if (!remaining) {
            mBackedUp = false;
            dropped = mDropped;
            mDropped = 0;
        }
    }
    logDropped(dropped);
    return remaining;
}

bool CZetaChannel::hasQueued() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return !mQueue.empty();
}

bool CZetaChannel::isBackedUp() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mBackedUp;
}

std::size_t CZetaChannel::discardQueueLocked(unsigned long* dropped) {
    const std::size_t discarded = mQueue.size();
    mQueue.clear();
    mQueuedBytes = 0;
    mBackedUp = false;
    *dropped = mDropped;
    mDropped = 0;
    return discarded;
}

void CZetaChannel::logDiscarded(std::size_t discarded, unsigned long dropped) const {
    if (discarded != 0) {
        QV_LOG(LogMessage::WARNING, "Warning: %s: %zu messages not delivered before the link closed", mLabel.c_str(),
               discarded);
    }
    logDropped(dropped);
}

void CZetaChannel::logDropped(unsigned long dropped) const {
    if (dropped == 0) return;
    QV_LOG(LogMessage::WARNING, "Warning: %s: %lu input events dropped while the link was backed up", mLabel.c_str(),
           dropped);
}
