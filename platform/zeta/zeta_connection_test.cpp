// Internal events: posted or sent from any thread, delivered to their client
// on the loop's thread. Links to services are exercised through the
// controller stand-in (controller_service/).
#include "platform/zeta/zeta_connection.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "platform/zeta/zeta_client.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/processes.h"

namespace {

class EventClient : public CZetaClient {
public:
    EventClient() : CZetaClient("TestService", "TestRole", 1, 0) {}
    void componentConnected() override {}
    void componentDisconnected() override {}
    void processResponse(CZetaIStream&) override {}
    void processInternalEvent(int event, void*) override {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
        threads.push_back(std::this_thread::get_id());
    }

    std::mutex mutex;
    std::vector<int> events;
    std::vector<std::thread::id> threads;
};

TEST(ZetaConnection, InternalEventsReachTheirClientOnTheLoopThread) {
    ScopedZetaRuntime runtime;
    ASSERT_TRUE(runtime.ok());
    EventClient client;
    CZetaConnection connection;
    ASSERT_TRUE(connection.add(&client));
    const std::uint32_t id = client.getClientId();
    EXPECT_FALSE(connection.sendInternalEvent(Zeta::INTERNAL_EVENT_CODE, id, 1, nullptr));  // no loop runs
    EXPECT_TRUE(connection.postInternalEvent(Zeta::INTERNAL_EVENT_CODE, id, 2, nullptr));
    std::thread::id loopThread;
    std::thread loop([&] {
        loopThread = std::this_thread::get_id();
        connection.start();
    });
    EXPECT_TRUE(test_support::eventually([&] { return connection.isRunning(); }));
    EXPECT_TRUE(connection.sendInternalEvent(Zeta::INTERNAL_EVENT_CODE, id, 3, nullptr));  // returns once delivered
    EXPECT_FALSE(connection.sendInternalEvent(Zeta::INTERNAL_EVENT_CODE, id + 1, 4, nullptr));
    EXPECT_FALSE(connection.postInternalEvent(42, id, 5, nullptr));
    connection.stop(0);
    loop.join();
    EXPECT_EQ((std::vector<int>{2, 3}), client.events);
    EXPECT_EQ(std::vector<std::thread::id>(2, loopThread), client.threads);
}

}  // namespace
