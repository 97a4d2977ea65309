// The controller going away and coming back while an adapter runs, with a
// consumer that registers from componentConnected as the plug-in does.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "controller_service/controller_test_consumer.h"
#include "controller_service/plugin_controller_service.h"
#include "ipc/orca_browser_plugin.h"
#include "ipc/zeta_ipc_adapter.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace NPluginsIPCCommunications;
using namespace std::chrono_literals;

class ControllerReconnect : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(runtime.ok()); }
    ScopedZetaRuntime runtime;
    LogCapture capture;
};

TEST_F(ControllerReconnect, ControllerRestartIsReportedAndRegistrationSentAgain) {
    TestConsumer consumer;
    std::unique_ptr<CZetaIPCAdapter> adapter(new CZetaIPCAdapter(&consumer));
    consumer.registerThrough.store(adapter.get());
    // Started only now, so that the consumer registers on the first connect.
    CPluginControllerService controller;
    controller.setConfigPath("/cfg/one", true);
    ASSERT_TRUE(controller.start());
    ASSERT_TRUE(consumer.waitFor("register 0"));
    ASSERT_TRUE(consumer.waitFor("config /cfg/one"));
    EXPECT_EQ(1u, adapter->getInstanceId());

    controller.stop();
    ASSERT_TRUE(consumer.waitFor("disconnected"));
    EXPECT_EQ(-1, adapter->requestKeyEvent(1));  // dropped while away

    controller.setConfigPath("/cfg/two", true);
    ASSERT_TRUE(controller.start());
    ASSERT_TRUE(consumer.waitFor("connected", 2));
    ASSERT_TRUE(consumer.waitFor("register 0", 2));
    ASSERT_TRUE(consumer.waitFor("config /cfg/two"));
    EXPECT_EQ(2u, adapter->getInstanceId());  // the restarted controller's second handle
    EXPECT_EQ(0, adapter->requestKeyEvent(2));
    ASSERT_TRUE(consumer.waitFor("key 0"));

    ASSERT_TRUE(controller.waitForRequests(3, 3000));
    std::vector<CPluginControllerService::Request> requests = controller.requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ(OrcaBrowserPlugin::UPD_ID_requestRegister, requests[0].updateId);
    EXPECT_EQ(OrcaBrowserPlugin::UPD_ID_requestRegister, requests[1].updateId);
    EXPECT_EQ(requests[0].payload, requests[1].payload);  // same parameters again
    EXPECT_EQ(2u, requests[2].instanceId);
    // One notification per link, although the consumer subscribes again.
    EXPECT_EQ(1, consumer.count("config /cfg/two"));
    consumer.registerThrough.store(nullptr);
    adapter.reset();
    controller.stop();
}

TEST_F(ControllerReconnect, AdapterStartedBeforeTheControllerConnectsWhenItAppears) {
    TestConsumer consumer;
    std::unique_ptr<CZetaIPCAdapter> adapter(new CZetaIPCAdapter(&consumer));
    consumer.registerThrough.store(adapter.get());
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(0, consumer.count("connected"));
    CPluginControllerService controller;
    ASSERT_TRUE(controller.start());
    ASSERT_TRUE(consumer.waitFor("register 0"));
    consumer.registerThrough.store(nullptr);
    adapter.reset();
    controller.stop();
}

TEST_F(ControllerReconnect, DestroyingTheAdapterClosesItsLink) {
    CPluginControllerService controller;
    ASSERT_TRUE(controller.start());
    TestConsumer consumer;
    {
        CZetaIPCAdapter adapter(&consumer);
        ASSERT_TRUE(consumer.waitFor("connected"));
    }
    // The controller keeps serving other instances after one went away.
    CZetaIPCAdapter second(&consumer);
    ASSERT_TRUE(consumer.waitFor("connected", 2));
    EXPECT_EQ(0, second.requestKeyEvent(1));
    EXPECT_TRUE(consumer.waitFor("key 0"));
}

}  // namespace
