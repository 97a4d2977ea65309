#include "platform/zeta/zeta_service.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "log/logger.h"
#include "platform/zeta/zeta_runtime.h"
#include "platform/zeta/zeta_socket.h"

CZetaService::CZetaService(const std::string& name, const std::string& role, std::uint32_t majorVersion,
                           std::uint32_t minorVersion, IZetaServiceHandler* handler)
    : mName(name),
      mRole(role),
      mMajor(majorVersion),
      mMinor(minorVersion),
      mHandler(handler),
      mListenFd(-1),
      mWakeFd(-1),
      mStopRequested(false),
      mReadingPaused(false),
      mNextPeer(0),
      mReceiveBuffer(Zeta::MAX_MESSAGE_SIZE) {}

CZetaService::~CZetaService() { close(); }

bool CZetaService::open() {
    close();
    mStopRequested.store(false);
    if (!Zeta::ensureRuntimeDirectory()) {
        QV_LOG(LogMessage::ERROR, "Error: can't create %s directory: %s", Zeta::runtimeDirectory().c_str(),
               strerror(errno));
        return false;
    }
    mPath = Zeta::servicePath(mName, mRole);
    if (mPath.empty()) {
        QV_LOG(LogMessage::ERROR, "Error: no socket path for %s.%s: %s", mName.c_str(), mRole.c_str(),
               strerror(errno));
        return false;
    }
    mWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (mWakeFd < 0) {
        QV_LOG(LogMessage::ERROR, "Error: eventfd failed: %s", strerror(errno));
        return false;
    }
    mListenFd = Zeta::listenAt(mPath);
    if (mListenFd < 0) {
        QV_LOG(LogMessage::ERROR, "Error: can't listen at %s: %s", mPath.c_str(), strerror(errno));
        ::close(mWakeFd);
        mWakeFd = -1;
        mPath.clear();
        return false;
    }
    return true;
}

void CZetaService::close() {
    while (!mPeers.empty()) {
        dropPeer(mPeers.begin()->first);
    }
    if (mListenFd >= 0) {
        ::close(mListenFd);
        mListenFd = -1;
        unlink(mPath.c_str());
    }
    if (mWakeFd >= 0) {
        ::close(mWakeFd);
        mWakeFd = -1;
    }
}

void CZetaService::stop() {
    mStopRequested.store(true);
    wake();
}

void CZetaService::pauseReading(bool paused) {
    mReadingPaused.store(paused);
    wake();
}

void CZetaService::wake() {
    if (mWakeFd >= 0) {
        const std::uint64_t one = 1;
        if (write(mWakeFd, &one, sizeof(one)) < 0 && errno != EAGAIN) {
            QV_LOG(LogMessage::ERROR, "Error: waking the service failed: %s", strerror(errno));
        }
    }
}

bool CZetaService::run() {
    if (mListenFd < 0) return false;
    std::vector<pollfd> fds;
    std::vector<std::uint32_t> order;
    while (!mStopRequested.load()) {
        fds.clear();
        order.clear();
        fds.push_back(pollfd{mWakeFd, POLLIN, 0});
        fds.push_back(pollfd{mListenFd, POLLIN, 0});
        for (const auto& entry : mPeers) {
            if (mReadingPaused.load()) break;
            fds.push_back(pollfd{entry.second.fd, POLLIN, 0});
            order.push_back(entry.first);
        }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            QV_LOG(LogMessage::ERROR, "Error: poll failed: %s", strerror(errno));
            return false;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            while (read(mWakeFd, &count, sizeof(count)) > 0) {
            }
        }
        if (mStopRequested.load()) break;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (fds[i + 2].revents != 0 && mPeers.count(order[i]) != 0) receive(order[i]);
        }
        if (fds[1].revents & POLLIN) acceptPeers();
    }
    return true;
}

void CZetaService::acceptPeers() {
    for (;;) {
        int fd = accept4(mListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                QV_LOG(LogMessage::ERROR, "Error: accept failed: %s", strerror(errno));
            }
            return;
        }
        mPeers[++mNextPeer] = Peer{fd, false, SPartyID(), {}};
    }
}

void CZetaService::receive(std::uint32_t peer) {
    for (int budget = 64; budget > 0 && !mReadingPaused.load(); --budget) {
        auto found = mPeers.find(peer);
        if (found == mPeers.end()) return;
        std::size_t length = 0;
        int error = 0;
        switch (Zeta::receiveDatagram(found->second.fd, mReceiveBuffer.data(), mReceiveBuffer.size(), &length,
                                      &error)) {
            case Zeta::RECEIVE_OK:
                handle(peer, mReceiveBuffer.data(), length);
                break;
            case Zeta::RECEIVE_WOULD_BLOCK:
                return;
            case Zeta::RECEIVE_OVERSIZE:
                QV_LOG(LogMessage::WARNING, "Warning: oversize message from client %u dropped", peer);
                break;
            case Zeta::RECEIVE_CLOSED:
                dropPeer(peer);
                return;
            case Zeta::RECEIVE_FAILED:
                QV_LOG(LogMessage::ERROR, "Error: receiving from client %u failed: %s", peer, strerror(error));
                dropPeer(peer);
                return;
        }
    }
}

void CZetaService::handle(std::uint32_t peer, const std::uint8_t* bytes, std::size_t length) {
    CZetaIStream in;
    if (!in.assign(bytes, length)) {
        QV_LOG(LogMessage::WARNING, "Warning: malformed message of %zu bytes from client %u dropped", length, peer);
        return;
    }
    Peer& state = mPeers[peer];
    if (in.getRequestType() == Zeta::REQUEST_TYPE_CONTROL && in.getCommand() == Zeta::COMMAND_CONNECT) {
        answerSetup(peer, in);
        return;
    }
    if (!state.connected) {
        QV_LOG(LogMessage::WARNING, "Warning: message before the link set-up from client %u dropped", peer);
        return;
    }
    if (in.getRequestType() == Zeta::REQUEST_TYPE_CONTROL) {
        if (in.getCommand() == Zeta::COMMAND_SUBSCRIBE) {
            state.subscriptions.insert(in.getUpdateId());
            mHandler->onSubscribe(*this, peer, in.getUpdateId());
        } else if (in.getCommand() == Zeta::COMMAND_UNSUBSCRIBE) {
            state.subscriptions.erase(in.getUpdateId());
        }
        return;
    }
    if (in.getRequestType() != Zeta::REQUEST_TYPE_CALL) {
        send(peer, newMessage(peer, Zeta::RESULT_INVALID, Zeta::COMMAND_INVOKE, in.getUpdateId()));
        return;
    }
    mHandler->onCall(*this, peer, in);
}

void CZetaService::answerSetup(std::uint32_t peer, const CZetaIStream& in) {
    Peer& state = mPeers[peer];
    std::uint32_t version[2] = {0, 0};
    const bool accepted = !state.connected && in.read(version, sizeof(version)) && version[0] == mMajor &&
                          version[1] <= mMinor;
    state.party = in.getSender();
    CZetaOStream* out = newMessage(peer, accepted ? Zeta::RESULT_OK : Zeta::RESULT_INVALID, Zeta::COMMAND_CONNECT, 0);
    if (!send(peer, out)) return;
    if (!accepted) {
        QV_LOG(LogMessage::WARNING, "Warning: client %u asked for version %u.%u of %s; refused", peer, version[0],
               version[1], mName.c_str());
        dropPeer(peer);
        return;
    }
    state.connected = true;
    mHandler->onPeerConnected(*this, peer);
}

void CZetaService::dropPeer(std::uint32_t peer) {
    auto found = mPeers.find(peer);
    if (found == mPeers.end()) return;
    const bool wasConnected = found->second.connected;
    ::close(found->second.fd);
    mPeers.erase(found);
    if (wasConnected) mHandler->onPeerGone(*this, peer);
}

CZetaOStream* CZetaService::newMessage(std::uint32_t peer, std::uint32_t typeCode, Zeta::Command command,
                                       std::uint32_t updateId) {
    auto found = mPeers.find(peer);
    const int fd = found == mPeers.end() ? -1 : found->second.fd;
    const SPartyID receiver = found == mPeers.end() ? SPartyID() : found->second.party;
    CZetaOStream* out = new CZetaOStream(nullptr, fd, 0, Zeta::REQUEST_TYPE_NONE, command, updateId, getPartyId(),
                                         receiver, 0);
    out->setTypeCode(typeCode);
    return out;
}

bool CZetaService::send(std::uint32_t peer, CZetaOStream* out) {
    if (out == nullptr) return false;
    bool sent = mPeers.count(peer) != 0 && out->send(-1);
    if (!sent && mPeers.count(peer) != 0) {
        const int status = out->getStatus();
        QV_LOG(LogMessage::WARNING, "Warning: client %u can't be reached: %s", peer, strerror(status));
        // A client that closed its end may still have messages queued for
        // us (a last request sent just before closing): the receive path
        // reads them and drops the client when it reaches the end.
        if (status != EMSGSIZE && status != EPIPE && status != ECONNRESET) dropPeer(peer);
    }
    delete out;
    return sent;
}

bool CZetaService::sendRaw(std::uint32_t peer, const void* data, std::size_t length) {
    auto found = mPeers.find(peer);
    return found != mPeers.end() && Zeta::sendDatagram(found->second.fd, data, length, -1) == 0;
}

bool CZetaService::isSubscribed(std::uint32_t peer, std::uint32_t updateId) const {
    auto found = mPeers.find(peer);
    return found != mPeers.end() && found->second.subscriptions.count(updateId) != 0;
}

std::vector<std::uint32_t> CZetaService::peers() const {
    std::vector<std::uint32_t> out;
    for (const auto& entry : mPeers) {
        if (entry.second.connected) out.push_back(entry.first);
    }
    return out;
}

SPartyID CZetaService::getPartyId() const { return SPartyID{static_cast<std::uint32_t>(getpid()), 0}; }
