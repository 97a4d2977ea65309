// The adapter on its own: refusals, missing consumer, browser id, thread
// start failure. Round trips with the controller live with the controller
// stand-in.
#include "ipc/zeta_ipc_adapter.h"

#include "ipc/controller_role.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace NPluginsIPCCommunications;
using namespace std::chrono_literals;

class RecordingConsumer : public CIPCConsumerBase {
public:
    void responseRegister(eResult result) override { note("register", result); }
    void responseSetWindow(eResult result) override { note("setWindow", result); }
    void responseKeyEvent(eResult result) override { note("key", result); }
    void responseMouseEvent(eResult result) override { note("mouse", result); }
    void responseButtonEvent(eResult result) override { note("button", result); }
    void responseDataAvailableEvent(eResult result) override { note("data", result); }
    void responseDeregister(eResult result) override { note("deregister", result); }
    void onConfigPathUpdate(const CQVString& path) override { note(std::string("config ") + path.c_str(), 0); }

    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return mCalls;
    }
    std::vector<std::thread::id> threads() {
        std::lock_guard<std::mutex> lock(mutex);
        return mThreads;
    }

private:
    void note(const std::string& what, int result) {
        std::lock_guard<std::mutex> lock(mutex);
        mCalls.push_back(what + " " + std::to_string(result));
        mThreads.push_back(std::this_thread::get_id());
    }
    std::mutex mutex;
    std::vector<std::string> mCalls;
    std::vector<std::thread::id> mThreads;
};

int failingStart(CQVThreadCtrl::IRunnable&, bool, int, int) {
    errno = EAGAIN;
    return 0;
}

class ZetaIPCAdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.ok());
        unsetenv("QV_BROWSER_ID");
    }
    void TearDown() override {
        CZetaThread::setStartThreadFunction(nullptr);
        unsetenv("QV_BROWSER_ID");
    }
    ScopedZetaRuntime runtime;
    LogCapture capture;
};

TEST_F(ZetaIPCAdapterTest, RequestsAreRefusedWithResultOneOnTheCallingThreadWhenTheProxyWasNotAdded) {
    RecordingConsumer consumer;
    // A role that names no socket: the connection refuses the proxy.
    setControllerRoleName("no/such/role");
    CZetaIPCAdapter* adapter = new CZetaIPCAdapter(&consumer);
    setControllerRoleName("BrowserPluginCtrl");
    ASSERT_FALSE(adapter->isProxyAdded());
    EXPECT_TRUE(capture.contains("Error while to add Zeta proxy to Zeta connection", 2));

    tParameterList parameters;
    EXPECT_EQ(0, adapter->requestRegister("d", "m", parameters));
    EXPECT_EQ(0, adapter->requestSetWindow(1, 2, 3, 4));
    EXPECT_EQ(0, adapter->requestKeyEvent(5));
    EXPECT_EQ(0, adapter->requestMouseEvent(1, 2, 3));
    EXPECT_EQ(0, adapter->requestButtonEvent(1));
    EXPECT_EQ(0, adapter->requestDataAvailableEvent("x"));
    EXPECT_EQ(0, adapter->requestDeregister());
    EXPECT_EQ((std::vector<std::string>{"register 1", "setWindow 1", "key 1", "mouse 1", "button 1", "data 1",
                                        "deregister 1"}),
              consumer.calls());
    for (std::thread::id id : consumer.threads()) EXPECT_EQ(std::this_thread::get_id(), id);
    EXPECT_EQ(7u, capture.count("Zeta proxy wasn`t added to ZetaConnection", 2));
    EXPECT_TRUE(capture.contains("ID:0, Result:1", 0));
    delete adapter;
}

TEST_F(ZetaIPCAdapterTest, WithoutAConsumerAnswersAreDroppedButTheIdIsKept) {
    CZetaIPCAdapter adapter(nullptr);
    adapter.responseRegister(42, OrcaBrowserPlugin::RESULT_OK);
    EXPECT_EQ(42u, adapter.getInstanceId());
    adapter.responseKeyEvent(OrcaBrowserPlugin::RESULT_OK);
    adapter.componentConnected();
    adapter.onConfigPathUpdate("/p", Zeta::DATA_STATE_VALID);
    EXPECT_EQ(4u, capture.count("Consumer is missing", 2));
    EXPECT_TRUE(capture.contains("ID:42, Result:0", 0));
}

TEST_F(ZetaIPCAdapterTest, InvalidConfigPathIsLoggedButNotForwarded) {
    RecordingConsumer consumer;
    CZetaIPCAdapter adapter(&consumer);
    adapter.onConfigPathUpdate("/old", Zeta::DATA_STATE_INVALID);
    EXPECT_TRUE(capture.contains("ConfigPath:/old,State:1", 0));
    EXPECT_TRUE(consumer.calls().empty());
    EXPECT_FALSE(adapter.isConfigPathValid());
    adapter.onConfigPathUpdate("/new", Zeta::DATA_STATE_VALID);
    EXPECT_EQ(std::vector<std::string>{"config /new 0"}, consumer.calls());
}

TEST_F(ZetaIPCAdapterTest, RequestsWithoutAControllerAreDroppedWithoutAnswer) {
    RecordingConsumer consumer;
    CZetaIPCAdapter adapter(&consumer);
    EXPECT_TRUE(adapter.isProxyAdded());
    EXPECT_EQ(-1, adapter.requestKeyEvent(1));
    EXPECT_EQ(-1, adapter.requestRegister("d", "m", tParameterList()));
    EXPECT_TRUE(consumer.calls().empty());
}

TEST_F(ZetaIPCAdapterTest, BrowserIdComesFromTheEnvironmentOrIsTheProcessId) {
    CZetaIPCAdapter adapter(nullptr);
    EXPECT_EQ(getpid(), adapter.getBrowserPID());
    setenv("QV_BROWSER_ID", "", 1);
    EXPECT_EQ(getpid(), adapter.getBrowserPID());
    setenv("QV_BROWSER_ID", "4711", 1);
    EXPECT_EQ(4711, adapter.getBrowserPID());
    setenv("QV_BROWSER_ID", "12abc", 1);
    EXPECT_EQ(12, adapter.getBrowserPID());
    setenv("QV_BROWSER_ID", "browser", 1);
    EXPECT_EQ(0, adapter.getBrowserPID());
    setenv("QV_BROWSER_ID", "99999999999999", 1);
    EXPECT_EQ(2147483647, adapter.getBrowserPID());
}

TEST_F(ZetaIPCAdapterTest, DestroyingAnAdapterWhoseThreadFailedToStartReturnsAfterOneSleep) {
    CZetaThread::setStartThreadFunction(&failingStart);
    RecordingConsumer consumer;
    CZetaIPCAdapter* adapter = new CZetaIPCAdapter(&consumer);
    EXPECT_TRUE(capture.contains("Error: CQVThreadCtrl::startThread (this)", 0));
    const auto before = std::chrono::steady_clock::now();
    delete adapter;
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_GE(took, 10ms);
    EXPECT_LT(took, 5s) << "waited for a thread that never started";
}

}  // namespace

namespace {

TEST(ControllerRole, DefaultsToBrowserPluginCtrlAndKeeps255Characters) {
    EXPECT_STREQ("BrowserPluginCtrl", NPluginsIPCCommunications::getControllerRoleName());
    std::string longRole(300, 'r');
    NPluginsIPCCommunications::setControllerRoleName(longRole.c_str());
    EXPECT_EQ(std::string(255, 'r'), NPluginsIPCCommunications::getControllerRoleName());
    NPluginsIPCCommunications::setControllerRoleName(nullptr);
    EXPECT_EQ(255u, std::string(NPluginsIPCCommunications::getControllerRoleName()).size());
    NPluginsIPCCommunications::setControllerRoleName("BrowserPluginCtrl");
}

}  // namespace
