// CZetaConnection: the event loop that runs a set of Zeta clients.
//
// start() runs the loop on the calling thread: it connects every client to
// its service (socket path from zeta_runtime.h), performs the link set-up,
// sends what the clients posted (CZetaChannel::post) as the sockets take
// it, reads the services' messages and hands them to the clients, and
// retries a service that is not there or went away after a delay that
// starts at 20 ms and doubles up to 1 s. Between events the loop sleeps in
// poll(); stop() and every post() from any thread wake it through an
// eventfd. Once stopped, it tries for Zeta::CLOSING_FLUSH_MS more to send
// what is still queued, then closes the links.
//
// Only trusted services are connected: the runtime directory must be
// private (Zeta::isRuntimeDirectoryPrivate) and the process behind the
// socket must run as this user or root (Zeta::isPeerTrusted). Otherwise
// the client stays unconnected, as if the service were not there, the
// reason is logged once, and the check is repeated at every retry.
//
// Threads: add(), stop(), postInternalEvent() and sendInternalEvent() may be
// called from any thread, also while start() runs. Every client callback
// runs on the thread inside start(). A stop() is final: once requested,
// start() returns at once, also when it begins only afterwards. The
// connection must not be destroyed while start() runs; destroying it closes
// the clients' links.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CZetaClient;

class CZetaConnection {
public:
    CZetaConnection();
    ~CZetaConnection();

    CZetaConnection(const CZetaConnection&) = delete;
    CZetaConnection& operator=(const CZetaConnection&) = delete;

    // Attaches a client (not owned; it must outlive the loop). False for
    // null, for a client already attached to a connection, for a client
    // whose service and role give no socket path (zeta_runtime.h), and when
    // the connection is unusable (its eventfd could not be made).
    bool add(CZetaClient* client);

    // Runs the event loop until stop(). False when the loop cannot run (no
    // eventfd, a loop already running, poll failing) or ran and failed.
    bool start();
    void stop(int code);
    int getStopCode() const { return mStopCode.load(); }
    bool isRunning() const;

    // Queues an internal event (code Zeta::INTERNAL_EVENT_CODE) for the client
    // `clientId`; the loop delivers it through processInternalEvent.
    bool postInternalEvent(int code, std::uint32_t clientId, int event, void* data);
    // Delivers at once: directly on the loop thread, otherwise it waits until
    // the running loop has delivered it. False when no loop runs, the loop
    // ended first, the code is not INTERNAL_EVENT_CODE or no such client.
    bool sendInternalEvent(int code, std::uint32_t clientId, int event, void* data);

    // Reconnection delays; for tests. Call before start().
    void setReconnectDelays(int firstMs, int maxMs);

private:
    using Clock = std::chrono::steady_clock;

    enum LinkState { LINK_IDLE, LINK_SETUP, LINK_CONNECTED };
    struct Link {
        CZetaClient* client;
        LinkState state;
        int fd;
        Clock::time_point nextAttempt;
        Clock::time_point setupDeadline;
        int delayMs;
        bool unreachableLogged;
        std::string refusal;  // why the service was last not trusted (logged)
    };
    struct InternalEvent {
        std::uint32_t clientId;
        int event;
        void* data;
        std::uint64_t ticket;
        bool* delivered;  // a sending thread waits for it; null when posted
    };

    void runLoop();
    void takeNewClients();
    void deliverInternalEvents();
    bool deliver(std::uint32_t clientId, int event, void* data);
    void attempt(Link& link, Clock::time_point now);
    void retryLater(Link& link, Clock::time_point now);
    bool trusted(Link& link, int fd, const std::string& path);
    bool flush(Link& link);
    void flushBeforeClosing();
    void receive(Link& link);
    void handleMessage(Link& link, const std::uint8_t* bytes, std::size_t length);
    void dropLink(Link& link, bool retryLater);
    int pollTimeout(Clock::time_point now) const;
    void wake();

    int mWakeFd;
    std::atomic<bool> mStopRequested;
    std::atomic<int> mStopCode;
    std::atomic<int> mFirstDelayMs;
    std::atomic<int> mMaxDelayMs;

    mutable std::mutex mMutex;
    std::condition_variable mDelivered;
    bool mRunning;
    std::thread::id mLoopThread;
    std::uint32_t mNextClientId;
    std::vector<CZetaClient*> mNewClients;
    std::vector<CZetaClient*> mAllClients;
    std::deque<InternalEvent> mEvents;
    std::uint64_t mNextTicket;
    std::uint64_t mDoneTicket;

    // Loop thread only.
    std::vector<Link> mLinks;
    std::vector<std::uint8_t> mReceiveBuffer;
};
