#include "platform/zeta/zeta_connection.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "log/logger.h"
#include "platform/zeta/zeta_client.h"
#include "platform/zeta/zeta_istream.h"
#include "platform/zeta/zeta_ostream.h"
#include "platform/zeta/zeta_runtime.h"
#include "platform/zeta/zeta_socket.h"
#include "platform/zeta/zeta_types.h"

namespace {
constexpr int kSetupTimeoutMs = 2000;
}

CZetaConnection::CZetaConnection()
    : mWakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      mStopRequested(false),
      mStopCode(0),
      mFirstDelayMs(20),
      mMaxDelayMs(1000),
      mRunning(false),
      mNextClientId(0),
      mNextTicket(0),
      mDoneTicket(0),
      mReceiveBuffer(Zeta::MAX_MESSAGE_SIZE) {
    if (mWakeFd < 0) {
        QV_LOG(LogMessage::ERROR, "Error: eventfd failed: %s", strerror(errno));
    }
}

CZetaConnection::~CZetaConnection() {
    std::lock_guard<std::mutex> lock(mMutex);
    for (CZetaClient* client : mAllClients) {
        client->getChannel()->setWakeFd(-1);
        client->getChannel()->close();
        client->mConnection.store(nullptr);
    }
    if (mWakeFd >= 0) close(mWakeFd);
}

bool CZetaConnection::add(CZetaClient* client) {
    // A connection that cannot be woken can never run its clients.
    if (client == nullptr || mWakeFd < 0) return false;
    // Nor can a service be reached whose name gives no socket path.
    if (Zeta::servicePath(client->getServiceName(), client->getRoleName()).empty()) {
        QV_LOG(LogMessage::ERROR, "Error: %s.%s can't be reached: %s", client->getServiceName().c_str(),
               client->getRoleName().c_str(), strerror(errno));
        return false;
    }
    CZetaConnection* none = nullptr;
    if (!client->mConnection.compare_exchange_strong(none, this)) return false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        client->mClientId.store(++mNextClientId);
        client->getChannel()->setWakeFd(mWakeFd);
        mNewClients.push_back(client);
        mAllClients.push_back(client);
    }
    wake();
    return true;
}

void CZetaConnection::setReconnectDelays(int firstMs, int maxMs) {
    mFirstDelayMs.store(firstMs < 1 ? 1 : firstMs);
    mMaxDelayMs.store(maxMs < firstMs ? firstMs : maxMs);
}

bool CZetaConnection::isRunning() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRunning;
}

void CZetaConnection::stop(int code) {
    mStopCode.store(code);
    mStopRequested.store(true);
    wake();
}

void CZetaConnection::wake() {
    if (mWakeFd < 0) return;
    const std::uint64_t one = 1;
    if (write(mWakeFd, &one, sizeof(one)) < 0 && errno != EAGAIN) {
        QV_LOG(LogMessage::ERROR, "Error: waking the Zeta loop failed: %s", strerror(errno));
    }
}

bool CZetaConnection::postInternalEvent(int code, std::uint32_t clientId, int event, void* data) {
    if (code != Zeta::INTERNAL_EVENT_CODE) return false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mEvents.push_back(InternalEvent{clientId, event, data, ++mNextTicket, nullptr});
    }
    wake();
    return true;
}

bool CZetaConnection::sendInternalEvent(int code, std::uint32_t clientId, int event, void* data) {
    if (code != Zeta::INTERNAL_EVENT_CODE) return false;
    std::unique_lock<std::mutex> lock(mMutex);
    if (mRunning && mLoopThread == std::this_thread::get_id()) {
        lock.unlock();
        return deliver(clientId, event, data);
    }
    if (!mRunning || mStopRequested.load()) return false;
    const std::uint64_t ticket = ++mNextTicket;
    bool delivered = false;
    mEvents.push_back(InternalEvent{clientId, event, data, ticket, &delivered});
    lock.unlock();
    wake();
    lock.lock();
    mDelivered.wait(lock, [&] { return mDoneTicket >= ticket || !mRunning; });
    return delivered;
}

bool CZetaConnection::deliver(std::uint32_t clientId, int event, void* data) {
    CZetaClient* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (CZetaClient* client : mAllClients) {
            if (client->getClientId() == clientId) target = client;
        }
    }
    if (target == nullptr) return false;
    target->processInternalEvent(event, data);
    return true;
}

bool CZetaConnection::start() {
    if (mWakeFd < 0) return false;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mRunning) {
            QV_LOG(LogMessage::ERROR, "Error: the Zeta loop is already running");
            return false;
        }
        mRunning = true;
        mLoopThread = std::this_thread::get_id();
    }
    runLoop();
    const bool failed = !mStopRequested.load();
    flushBeforeClosing();
    for (Link& link : mLinks) {
        link.client->getChannel()->close();
        link.client->cleanup();
    }
    mLinks.clear();
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mRunning = false;
        // Clients still queued as new are picked up by a later start().
        mEvents.clear();
        mLoopThread = std::thread::id();
    }
    mDelivered.notify_all();
    return !failed;
}

void CZetaConnection::runLoop() {
    std::vector<pollfd> fds;
    while (!mStopRequested.load()) {
        takeNewClients();
        deliverInternalEvents();
        if (mStopRequested.load()) break;

        Clock::time_point now = Clock::now();
        for (Link& link : mLinks) {
            if (link.state == LINK_IDLE && now >= link.nextAttempt) {
                attempt(link, now);
            } else if (link.state == LINK_SETUP && now >= link.setupDeadline) {
                QV_LOG(LogMessage::WARNING, "Warning: %s.%s did not answer the link set-up",
                       link.client->getServiceName().c_str(), link.client->getRoleName().c_str());
                dropLink(link, true);
            }
        }

        fds.clear();
        fds.push_back(pollfd{mWakeFd, POLLIN, 0});
        for (Link& link : mLinks) {
            // What the plug-in posted goes out now; what the socket has no
            // room for waits for POLLOUT.
            const bool queued = link.fd >= 0 && flush(link);
            const short events = static_cast<short>(link.fd < 0 ? 0 : POLLIN | (queued ? POLLOUT : 0));
            fds.push_back(pollfd{link.fd, events, 0});
        }
        int ready = poll(fds.data(), fds.size(), pollTimeout(Clock::now()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            QV_LOG(LogMessage::ERROR, "Error: poll failed: %s", strerror(errno));
            return;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            while (read(mWakeFd, &count, sizeof(count)) > 0) {
            }
        }
        // mLinks does not change size below: new clients join at the top.
        for (std::size_t i = 0; i < mLinks.size() && !mStopRequested.load(); ++i) {
            Link& link = mLinks[i];
            if (link.fd < 0 || fds[i + 1].fd != link.fd) continue;
            const short revents = fds[i + 1].revents;
            if ((revents & ~POLLOUT) != 0) receive(link);
            if ((revents & POLLOUT) != 0 && link.fd >= 0) flush(link);
        }
    }
}

bool CZetaConnection::flush(Link& link) {
    std::vector<CZetaChannel::SendFailure> failures;
    const bool queued = link.client->getChannel()->flush(&failures);
    for (const CZetaChannel::SendFailure& failure : failures) {
        QV_LOG(LogMessage::ERROR, "Error: %s to %s.%s not sent: %s", link.client->getUpdateIDString(failure.updateId),
               link.client->getServiceName().c_str(), link.client->getRoleName().c_str(), strerror(failure.error));
    }
    return queued;
}

void CZetaConnection::flushBeforeClosing() {
    // A last request (a deregistration) posted just before stop() still goes
    // out, but a service that does not read holds the stopping thread up
    // for CLOSING_FLUSH_MS at most; closing then reports what was left.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(Zeta::CLOSING_FLUSH_MS);
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        for (Link& link : mLinks) {
            if (link.fd >= 0 && flush(link)) fds.push_back(pollfd{link.fd, POLLOUT, 0});
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (fds.empty() || left <= 0) return;
        if (poll(fds.data(), fds.size(), static_cast<int>(left)) < 0 && errno != EINTR) return;
    }
}

void CZetaConnection::takeNewClients() {
    std::vector<CZetaClient*> fresh;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        fresh.swap(mNewClients);
    }
    for (CZetaClient* client : fresh) {
        mLinks.push_back(
            Link{client, LINK_IDLE, -1, Clock::now(), Clock::now(), mFirstDelayMs.load(), false, std::string()});
    }
}

void CZetaConnection::deliverInternalEvents() {
    for (;;) {
        InternalEvent event{};
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mEvents.empty()) return;
            event = mEvents.front();
            mEvents.pop_front();
        }
        const bool delivered = deliver(event.clientId, event.event, event.data);
        if (!delivered) {
            QV_LOG(LogMessage::WARNING, "Warning: internal event %d for unknown client %u dropped", event.event,
                   event.clientId);
        }
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (event.delivered != nullptr) *event.delivered = delivered;
            mDoneTicket = event.ticket;
        }
        mDelivered.notify_all();
    }
}

int CZetaConnection::pollTimeout(Clock::time_point now) const {
    bool any = false;
    Clock::time_point next = Clock::time_point::max();
    for (const Link& link : mLinks) {
        if (link.state == LINK_IDLE) {
            next = std::min(next, link.nextAttempt);
            any = true;
        } else if (link.state == LINK_SETUP) {
            next = std::min(next, link.setupDeadline);
            any = true;
        }
    }
    if (!any) return -1;
    if (next <= now) return 0;
    // Round up so that the loop does not wake just before the deadline.
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
    return static_cast<int>(std::min<long long>(wait, 60000));
}

void CZetaConnection::retryLater(Link& link, Clock::time_point now) {
    link.nextAttempt = now + std::chrono::milliseconds(link.delayMs);
    link.delayMs = std::min(link.delayMs * 2, mMaxDelayMs.load());
}

bool CZetaConnection::trusted(Link& link, int fd, const std::string& path) {
    // A service is only as trustworthy as the directory its socket lies in
    // and the user who runs it: anyone else could read what the clients send.
    // Nothing has been sent on fd yet.
    std::string problem;
    if (Zeta::isRuntimeDirectoryPrivate(&problem) && Zeta::isPeerTrusted(fd, &problem)) {
        link.refusal.clear();
        return true;
    }
    if (problem != link.refusal) {
        QV_LOG(LogMessage::ERROR, "Error: %s.%s at %s is not trusted, not connecting: %s",
               link.client->getServiceName().c_str(), link.client->getRoleName().c_str(), path.c_str(),
               problem.c_str());
        link.refusal = problem;
    }
    return false;
}

void CZetaConnection::attempt(Link& link, Clock::time_point now) {
    CZetaClient* client = link.client;
    std::string path = Zeta::servicePath(client->getServiceName(), client->getRoleName());
    int fd = path.empty() ? -1 : Zeta::connectTo(path);
    if (fd >= 0 && !trusted(link, fd, path)) {
        close(fd);
        retryLater(link, now);
        return;
    }
    if (fd < 0) {
        if (!link.unreachableLogged) {
            QV_LOG(LogMessage::MESSAGE, "Service %s.%s not reachable at %s: %s", client->getServiceName().c_str(),
                   client->getRoleName().c_str(), path.c_str(), strerror(errno));
            link.unreachableLogged = true;
        }
        retryLater(link, now);
        return;
    }
    link.unreachableLogged = false;
    std::uint32_t handle = client->getChannel()->open(fd);
    link.fd = fd;
    link.state = LINK_SETUP;
    link.setupDeadline = now + std::chrono::milliseconds(kSetupTimeoutMs);

    SPartyID own{static_cast<std::uint32_t>(getpid()), client->getClientId()};
    CZetaOStream hello(client->getChannel(), fd, handle, Zeta::REQUEST_TYPE_CONTROL, Zeta::COMMAND_CONNECT, 0, own,
                       SPartyID(), 0);
    const std::uint32_t version[2] = {client->getMajorVersion(), client->getMinorVersion()};
    hello.write(version, sizeof(version));
    if (!hello.send(-1)) {
        QV_LOG(LogMessage::ERROR, "Error: link set-up with %s.%s failed: %s", client->getServiceName().c_str(),
               client->getRoleName().c_str(), strerror(hello.getStatus()));
        dropLink(link, true);
    }
}

void CZetaConnection::receive(Link& link) {
    // Bounded, so that one busy service cannot starve the others or stop().
    for (int budget = 64; budget > 0 && link.fd >= 0; --budget) {
        std::size_t length = 0;
        int error = 0;
        switch (Zeta::receiveDatagram(link.fd, mReceiveBuffer.data(), mReceiveBuffer.size(), &length, &error)) {
            case Zeta::RECEIVE_OK:
                handleMessage(link, mReceiveBuffer.data(), length);
                break;
            case Zeta::RECEIVE_WOULD_BLOCK:
                return;
            case Zeta::RECEIVE_OVERSIZE:
                QV_LOG(LogMessage::WARNING, "Warning: oversize message from %s.%s dropped",
                       link.client->getServiceName().c_str(), link.client->getRoleName().c_str());
                break;
            case Zeta::RECEIVE_CLOSED:
                dropLink(link, true);
                return;
            case Zeta::RECEIVE_FAILED:
                QV_LOG(LogMessage::ERROR, "Error: receiving from %s.%s failed: %s",
                       link.client->getServiceName().c_str(), link.client->getRoleName().c_str(), strerror(error));
                dropLink(link, true);
                return;
        }
    }
}

void CZetaConnection::handleMessage(Link& link, const std::uint8_t* bytes, std::size_t length) {
    CZetaClient* client = link.client;
    CZetaIStream in;
    if (!in.assign(bytes, length)) {
        QV_LOG(LogMessage::WARNING, "Warning: malformed message of %zu bytes from %s.%s dropped", length,
               client->getServiceName().c_str(), client->getRoleName().c_str());
        return;
    }
    if (link.state == LINK_SETUP) {
        if (in.getCommand() != Zeta::COMMAND_CONNECT) return;
        if (in.getTypeCode() != Zeta::RESULT_OK) {
            QV_LOG(LogMessage::ERROR, "Error: %s.%s refused version %u.%u", client->getServiceName().c_str(),
                   client->getRoleName().c_str(), client->getMajorVersion(), client->getMinorVersion());
            link.delayMs = mMaxDelayMs.load();
            dropLink(link, true);
            return;
        }
        link.state = LINK_CONNECTED;
        link.delayMs = mFirstDelayMs.load();
        client->linkAccepted(in.getReceiver(), in.getSender());
        QV_LOG(LogMessage::MESSAGE, "Connected to %s.%s", client->getServiceName().c_str(),
               client->getRoleName().c_str());
        client->componentConnected();
        return;
    }
    if (in.getRequestType() == Zeta::REQUEST_TYPE_CONTROL) return;
    client->processResponse(in);
}

void CZetaConnection::dropLink(Link& link, bool retryLater) {
    const bool wasConnected = link.client->getChannel()->close();
    link.fd = -1;
    link.state = LINK_IDLE;
    if (wasConnected) link.delayMs = mFirstDelayMs.load();
    link.nextAttempt = Clock::now() + std::chrono::milliseconds(retryLater ? link.delayMs : 0);
    link.delayMs = std::min(link.delayMs * 2, mMaxDelayMs.load());
    if (wasConnected) {
        QV_LOG(LogMessage::MESSAGE, "Lost %s.%s", link.client->getServiceName().c_str(),
               link.client->getRoleName().c_str());
        link.client->componentDisconnected();
    }
}
