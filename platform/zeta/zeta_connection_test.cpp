// The middleware over real sockets: a CZetaConnection on one thread, a
// CZetaService on another, each test in its own runtime directory.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/zeta/zeta_client.h"
#include "platform/zeta/zeta_connection.h"
#include "platform/zeta/zeta_service.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kNotification = 0xC0000000u;

struct Received {
    std::uint32_t typeCode;
    std::uint32_t updateId;
    std::vector<std::uint8_t> payload;
    SPartyID sender;
};

// Records what the connection thread delivers.
class TestClient : public CZetaClient {
public:
    explicit TestClient(std::uint32_t major = 1, const char* role = "TestRole")
        : CZetaClient("TestService", role, major, 0) {}

    void componentConnected() override { note([&] { ++connected; }); }
    void componentDisconnected() override { note([&] { ++disconnected; }); }
    void processResponse(CZetaIStream& in) override {
        std::vector<std::uint8_t> payload(in.getBuffer() + Zeta::HEADER_SIZE, in.getBuffer() + in.getSize());
        note([&] { received.push_back(Received{in.getTypeCode(), in.getUpdateId(), payload, in.getSender()}); });
    }
    void processInternalEvent(int event, void* data) override {
        note([&] {
            events.push_back(event);
            eventThreads.push_back(std::this_thread::get_id());
            (void)data;
        });
    }
    void cleanup() override { note([&] { ++cleanups; }); }

    template <typename Predicate>
    bool waitFor(Predicate predicate, std::chrono::milliseconds limit = 3000ms) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return predicate(); });
    }

    std::mutex mutex;
    std::condition_variable changed;
    int connected = 0;
    int disconnected = 0;
    int cleanups = 0;
    std::vector<Received> received;
    std::vector<int> events;
    std::vector<std::thread::id> eventThreads;

private:
    template <typename Change>
    void note(Change change) {
        std::lock_guard<std::mutex> lock(mutex);
        change();
        changed.notify_all();
    }
};

// Answers every call with the payload it got; sends a notification on each
// subscription; can be told to send bad datagrams first.
class EchoHandler : public IZetaServiceHandler {
public:
    void onPeerConnected(CZetaService&, std::uint32_t) override {}
    void onCall(CZetaService& service, std::uint32_t peer, const CZetaIStream& in) override {
        if (sendJunkFirst) {
            std::vector<std::uint8_t> oversize(Zeta::MAX_MESSAGE_SIZE + 100, 0x55);
            service.sendRaw(peer, oversize.data(), oversize.size());
            const std::uint8_t shortMessage[5] = {1, 2, 3, 4, 5};
            service.sendRaw(peer, shortMessage, sizeof(shortMessage));
        }
        CZetaOStream* out = service.newMessage(peer, Zeta::RESULT_OK, Zeta::COMMAND_INVOKE, in.getUpdateId() | 0x80000000u);
        out->write(in.getBuffer() + Zeta::HEADER_SIZE, in.getSize() - Zeta::HEADER_SIZE);
        service.send(peer, out);
    }
    void onSubscribe(CZetaService& service, std::uint32_t peer, std::uint32_t updateId) override {
        service.send(peer, service.newMessage(peer, Zeta::RESULT_DATA_VALID, Zeta::COMMAND_NOTIFY, updateId));
    }
    void onPeerGone(CZetaService&, std::uint32_t) override {}

    bool sendJunkFirst = false;
};

class ServiceRunner {
public:
    explicit ServiceRunner(EchoHandler* handler) : mService("TestService", "TestRole", 1, 0, handler) {}
    ~ServiceRunner() { stop(); }
    bool start() {
        if (!mService.open()) return false;
        mThread = std::thread([this] { mService.run(); });
        return true;
    }
    void stop() {
        if (!mThread.joinable()) return;
        mService.stop();
        mThread.join();
        mService.close();
    }

private:
    CZetaService mService;
    std::thread mThread;
};

class LoopRunner {
public:
    explicit LoopRunner(CZetaConnection& connection) : mConnection(connection) {}
    ~LoopRunner() { stop(); }
    void start() {
        mThread = std::thread([this] { mResult = mConnection.start(); });
    }
    void stop() {
        if (!mThread.joinable()) return;
        mConnection.stop(0);
        mThread.join();
    }
    bool result() const { return mResult; }

private:
    CZetaConnection& mConnection;
    std::thread mThread;
    bool mResult = false;
};

int sendCall(CZetaClient& client, std::uint32_t updateId, std::uint32_t value) {
    CZetaOStream out(client.getChannel(), client.getSocket(), client.getHandle(), Zeta::REQUEST_TYPE_CALL,
                     Zeta::COMMAND_INVOKE, updateId, client.getOwnPartyId(), client.getServerPartyId(), 0);
    out.write(&value, sizeof(value));
    out.send(-1);
    return out.getStatus();
}

class ZetaConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(runtime.ok()); }
    ScopedZetaRuntime runtime;
    LogCapture capture;
};

TEST_F(ZetaConnectionTest, ConnectsAndDeliversAnswersOnTheLoopThread) {
    EchoHandler handler;
    ServiceRunner service(&handler);
    ASSERT_TRUE(service.start());
    TestClient client;
    CZetaConnection connection;
    ASSERT_TRUE(connection.add(&client));
    EXPECT_FALSE(connection.add(&client));
    LoopRunner loop(connection);
    loop.start();
    ASSERT_TRUE(client.waitFor([&] { return client.connected == 1; }));
    EXPECT_TRUE(client.isConnected());
    EXPECT_EQ(static_cast<std::uint32_t>(getpid()), client.getServerPartyId().processId);
    EXPECT_EQ(client.getClientId(), client.getOwnPartyId().clientId);

    EXPECT_EQ(0, sendCall(client, 2, 0x01020304u));
    ASSERT_TRUE(client.waitFor([&] { return client.received.size() == 1; }));
    std::lock_guard<std::mutex> lock(client.mutex);
    EXPECT_EQ(512u, client.received[0].typeCode);
    EXPECT_EQ(0x80000002u, client.received[0].updateId);
    EXPECT_EQ((std::vector<std::uint8_t>{4, 3, 2, 1}), client.received[0].payload);
}

TEST_F(ZetaConnectionTest, ClientWithoutAUsableSocketPathIsRefused) {
    TestClient client(1, "no/such/role");
    CZetaConnection connection;
    EXPECT_FALSE(connection.add(&client));
    EXPECT_EQ(nullptr, client.getConnection());
    EXPECT_TRUE(capture.contains("TestService.no/such/role can't be reached", 2));
}

TEST_F(ZetaConnectionTest, NothingIsSentBeforeTheServiceAcceptedTheLink) {
    TestClient client;
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(ENOTCONN, sendCall(client, 1, 7));
}

TEST_F(ZetaConnectionTest, ServiceGoingAwayAndComingBackIsReportedAndTheLinkReplaced) {
    EchoHandler handler;
    ServiceRunner service(&handler);
    ASSERT_TRUE(service.start());
    TestClient client;
    CZetaConnection connection;
    connection.setReconnectDelays(5, 50);
    connection.add(&client);
    LoopRunner loop(connection);
    loop.start();
    ASSERT_TRUE(client.waitFor([&] { return client.connected == 1; }));
    const int oldSocket = client.getSocket();
    const std::uint32_t oldHandle = client.getHandle();

    service.stop();
    ASSERT_TRUE(client.waitFor([&] { return client.disconnected == 1; }));
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(ENOTCONN, sendCall(client, 1, 7));

    ASSERT_TRUE(service.start());
    ASSERT_TRUE(client.waitFor([&] { return client.connected == 2; }));
    EXPECT_NE(oldHandle, client.getHandle());
    // A message built for the lost link never reaches the new one.
    CZetaOStream stale(client.getChannel(), oldSocket, oldHandle, Zeta::REQUEST_TYPE_CALL, Zeta::COMMAND_INVOKE, 1,
                       SPartyID(), SPartyID(), 0);
    EXPECT_FALSE(stale.send(-1));
    EXPECT_EQ(ENOTCONN, stale.getStatus());
    EXPECT_EQ(0, sendCall(client, 1, 7));
    EXPECT_TRUE(client.waitFor([&] { return client.received.size() == 1; }));
}

TEST_F(ZetaConnectionTest, SubscriptionsAreSentOncePerLink) {
    EchoHandler handler;
    ServiceRunner service(&handler);
    TestClient client;
    ASSERT_TRUE(client.setNotification(kNotification));  // kept until a link exists
    CZetaConnection connection;
    connection.setReconnectDelays(5, 50);
    connection.add(&client);
    LoopRunner loop(connection);
    loop.start();
    ASSERT_TRUE(service.start());
    ASSERT_TRUE(client.waitFor([&] { return client.received.size() == 1; }));
    EXPECT_TRUE(client.setNotification(kNotification));  // already subscribed: nothing sent
    EXPECT_EQ(0, sendCall(client, 3, 0));               // the answer follows any stray notification
    ASSERT_TRUE(client.waitFor([&] { return client.received.size() == 2; }));
    {
        std::lock_guard<std::mutex> lock(client.mutex);
        EXPECT_EQ(514u, client.received[0].typeCode);
        EXPECT_EQ(kNotification, client.received[0].updateId);
        EXPECT_EQ(0x80000003u, client.received[1].updateId);
    }
    service.stop();
    ASSERT_TRUE(service.start());
    ASSERT_TRUE(client.waitFor([&] { return client.received.size() == 3; }));
    std::lock_guard<std::mutex> lock(client.mutex);
    EXPECT_EQ(kNotification, client.received[2].updateId);
}

TEST_F(ZetaConnectionTest, StopWakesALoopSleepingInPollAtOnce) {
    TestClient client;  // its service never appears: the loop sleeps between attempts
    CZetaConnection connection;
    connection.setReconnectDelays(10000, 10000);
    connection.add(&client);
    LoopRunner loop(connection);
    loop.start();
    std::this_thread::sleep_for(100ms);
    const auto before = std::chrono::steady_clock::now();
    loop.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s) << "stop waited out the 10 s reconnect delay";
    EXPECT_TRUE(loop.result());
    EXPECT_EQ(1, client.cleanups);
    EXPECT_EQ(0, client.connected);
}

TEST_F(ZetaConnectionTest, StopBeforeStartEndsTheLoopAsSoonAsItBegins) {
    CZetaConnection connection;
    connection.stop(0);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(connection.start());
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s) << "the stop before start was lost";
    EXPECT_FALSE(connection.isRunning());
}

TEST_F(ZetaConnectionTest, OversizeAndMalformedDatagramsAreDroppedAndTheLinkStays) {
    EchoHandler handler;
    handler.sendJunkFirst = true;
    ServiceRunner service(&handler);
    ASSERT_TRUE(service.start());
    TestClient client;
    CZetaConnection connection;
    connection.add(&client);
    LoopRunner loop(connection);
    loop.start();
    ASSERT_TRUE(client.waitFor([&] { return client.connected == 1; }));
    EXPECT_EQ(0, sendCall(client, 4, 5));
    ASSERT_TRUE(client.waitFor([&] { return client.received.size() == 1; }));
    EXPECT_EQ(0x80000004u, client.received[0].updateId);
    EXPECT_EQ(0, client.disconnected);
    EXPECT_TRUE(capture.contains("oversize message", 1));
    EXPECT_TRUE(capture.contains("malformed message of 5 bytes", 1));
}

TEST_F(ZetaConnectionTest, ServiceRefusesAnotherMajorVersion) {
    EchoHandler handler;
    ServiceRunner service(&handler);
    ASSERT_TRUE(service.start());
    TestClient client(2);
    CZetaConnection connection;
    connection.add(&client);
    LoopRunner loop(connection);
    loop.start();
    std::this_thread::sleep_for(300ms);
    loop.stop();
    EXPECT_EQ(0, client.connected);
    EXPECT_TRUE(capture.contains("refused version 2.0", 2));
}

TEST_F(ZetaConnectionTest, InternalEventsReachTheClientOnTheLoopThread) {
    TestClient client;
    CZetaConnection connection;
    connection.add(&client);
    EXPECT_FALSE(connection.sendInternalEvent(Zeta::INTERNAL_EVENT_CODE, client.getClientId(), 1, nullptr));
    EXPECT_TRUE(connection.postInternalEvent(Zeta::INTERNAL_EVENT_CODE, client.getClientId(), 2, nullptr));
    std::thread::id loopThread;
    std::thread runner([&] {
        loopThread = std::this_thread::get_id();
        connection.start();
    });
    ASSERT_TRUE(client.waitFor([&] { return client.events.size() == 1; }));
    while (!connection.isRunning()) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(connection.sendInternalEvent(Zeta::INTERNAL_EVENT_CODE, client.getClientId(), 3, nullptr));
    EXPECT_FALSE(connection.sendInternalEvent(Zeta::INTERNAL_EVENT_CODE, 999, 4, nullptr));
    EXPECT_FALSE(connection.postInternalEvent(42, client.getClientId(), 5, nullptr));
    connection.stop(0);
    runner.join();
    ASSERT_EQ((std::vector<int>{2, 3}), client.events);
    EXPECT_EQ(loopThread, client.eventThreads[0]);
    EXPECT_EQ(loopThread, client.eventThreads[1]);
}

}  // namespace
