// A controller that answers the registration and then stops reading: no
// request waits for it, the requests that were kept reach it in order once
// it reads again, and closing the link gives up on what it cannot deliver.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "controller_service/plugin_controller_service.h"
#include "ipc/ipc_test_support.h"
#include "ipc/orca_browser_plugin.h"
#include "ipc/zeta_ipc_adapter.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace NPluginsIPCCommunications;
using namespace OrcaBrowserPlugin;
using Request = CPluginControllerService::Request;

// More than the socket and the link's queue hold together.
const int kKeys = 2000;

class StalledController : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.ok());
        adapter.reset(new CZetaIPCAdapter(&consumer));
        controller.stopReadingAfter(1);
        ASSERT_TRUE(controller.start());
        ASSERT_TRUE(consumer.waitFor("connected"));
        adapter->requestRegister("Viewer", "application/msword", tParameterList());
        adapter->notifyOnConfigPath(true);
        ASSERT_TRUE(consumer.waitFor("register 0"));
        // Answered before it was recorded: reading stops once it is.
        ASSERT_TRUE(controller.waitForRequests(1, 3000));
    }
    void TearDown() override {
        adapter.reset();
        controller.stop();
    }

    // Keys 0 .. kKeys-1, a window request before every 500th and a mouse
    // click in between, more keys until the socket is full when asked for,
    // then the deregistration. Every call returns while the controller reads
    // nothing.
    void flood(bool untilFull = false) {
        for (int key = 0; key < kKeys; ++key) {
            if (key % 500 == 0) {
                EXPECT_EQ(0, adapter->requestSetWindow(key, 0, 10, 10));
            }
            adapter->requestKeyEvent(key);
            if (key % 7 == 0) adapter->requestMouseEvent(1, key, key);
        }
        // Once full, the socket stays full: what follows stays queued.
        for (int i = 0; untilFull && i < 300 && !adapter->getChannel()->isBackedUp(); ++i) {
            for (int key = 0; key < 64; ++key) adapter->requestKeyEvent(kKeys + key);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(0, adapter->requestDeregister());
        EXPECT_EQ(1u, controller.requests().size());
        EXPECT_TRUE(capture.contains("the oldest input events are dropped", 1));
    }

    // The input events dropped so far, over every stretch of drops.
    unsigned long droppedInLog() const {
        unsigned long dropped = 0;
        for (const std::string& line : capture.texts(1)) {
            const std::size_t at = line.find(": ", line.find("BrowserPluginCtrl"));
            if (line.find("input events dropped") != std::string::npos && at != std::string::npos) {
                dropped += std::strtoul(line.c_str() + at + 2, nullptr, 10);
            }
        }
        return dropped;
    }

    ScopedZetaRuntime runtime;
    LogCapture capture;
    CPluginControllerService controller;
    TestConsumer consumer;
    std::unique_ptr<CZetaIPCAdapter> adapter;
};

TEST_F(StalledController, KeptRequestsArriveInOrderOnceItReadsAgain) {
    flood();
    controller.resumeReading();
    ASSERT_TRUE(test_support::eventually(
        [&] { return controller.requests().back().updateId == UPD_ID_requestDeregister; }, 10000));
    const std::vector<Request> requests = controller.requests();
    ASSERT_TRUE(consumer.waitFor("config /etc/browser/plugins.conf"));  // the subscription was kept too

    std::vector<int> windows;
    int lastKey = -1, keys = 0;
    for (std::size_t i = 1; i + 1 < requests.size(); ++i) {
        const Request& request = requests[i];
        ASSERT_FALSE(request.malformed);
        ASSERT_EQ(1u, request.instanceId);
        if (request.updateId == UPD_ID_requestSetWindow) {
            // Nothing sent after it arrives before it.
            EXPECT_LT(lastKey, request.values[0]);
            windows.push_back(request.values[0]);
        } else if (request.updateId == UPD_ID_requestKeyEvent) {
            EXPECT_GT(request.values[0], lastKey);
            lastKey = request.values[0];
            ++keys;
        } else {
            ASSERT_EQ(UPD_ID_requestMouseEvent, request.updateId);
            EXPECT_GE(request.values[1], lastKey);
        }
    }
    EXPECT_EQ((std::vector<int>{0, 500, 1000, 1500}), windows);
    EXPECT_LT(keys, kKeys);
    // The drops are counted in the log once the queue has drained.
    const std::size_t sent = kKeys + (kKeys + 6) / 7;  // keys and clicks
    const std::size_t received = requests.size() - 2 - windows.size();
    test_support::eventually([&] { return received + droppedInLog() >= sent; });
    EXPECT_EQ(sent, received + droppedInLog());
}

TEST_F(StalledController, ClosingGivesUpOnWhatItCannotDeliver) {
    flood(true);
    adapter.reset();
    EXPECT_TRUE(capture.contains("messages not delivered before the link closed", 1));
    EXPECT_EQ(1u, controller.requests().size());
}

}  // namespace
