// The adapter against the controller stand-in over real sockets: every
// request byte for byte (or refused when too large) and every answer to its
// callback, broken datagrams from the controller, and a link replaced under
// a message built for the old one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "controller_service/plugin_controller_service.h"
#include "ipc/ipc_test_support.h"
#include "ipc/zeta_ipc_adapter.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"
#include "tests/support/processes.h"

namespace {

using namespace NPluginsIPCCommunications;
typedef std::vector<std::uint8_t> Bytes;

class ControllerRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.ok());
        setenv("QV_BROWSER_ID", "258", 1);
        ASSERT_TRUE(controller.start());
        adapter.reset(new CZetaIPCAdapter(&consumer));
        ASSERT_TRUE(consumer.waitFor("connected"));
    }
    void TearDown() override {
        adapter.reset();
        controller.stop();
        unsetenv("QV_BROWSER_ID");
    }

    ScopedZetaRuntime runtime;
    LogCapture capture;
    CPluginControllerService controller;
    TestConsumer consumer;
    std::unique_ptr<CZetaIPCAdapter> adapter;
};

TEST_F(ControllerRoundTrip, EveryRequestIsEncodedByteForByteAndEveryAnswerReachesItsCallback) {
    tParameterList parameters;
    parameters.push_back(tNameValuePair("ab", ""));
    adapter->requestRegister("abc", "", parameters);
    ASSERT_TRUE(consumer.waitFor("register 0"));  // instance id 1 from here on
    controller.setResult(1);
    adapter->requestSetWindow(-1, 2, 3, 4);
    adapter->requestKeyEvent(5);
    adapter->requestMouseEvent(6, 7, 8);
    adapter->requestButtonEvent(9);
    adapter->requestDataAvailableEvent("ab");
    // Too large for one message: refused, nothing sent.
    EXPECT_EQ(EMSGSIZE, adapter->requestDataAvailableEvent(std::string(Zeta::MAX_MESSAGE_SIZE, 'x').c_str()));
    adapter->requestDeregister();
    ASSERT_TRUE(consumer.waitFor("deregister 1"));
    EXPECT_EQ((std::vector<std::string>{"register 0", "setWindow 1", "key 1", "mouse 1", "button 1", "data 1",
                                        "deregister 1"}),
              consumer.answers());

    // Texts: count with the closing zero (0 for none), the characters, the
    // zero; every field starts at a multiple of 4, padded with zero bytes.
    const std::vector<Bytes> payloads = {
        {4, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0, 0, 0, 0, 0, 0, 2, 1, 0, 0},
        {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0},
        {1, 0, 0, 0, 5, 0, 0, 0},
        {1, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0},
        {1, 0, 0, 0, 9, 0, 0, 0},
        {1, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0},
        {1, 0, 0, 0},
    };
    const std::vector<CPluginControllerService::Request> requests = controller.requests();
    ASSERT_EQ(payloads.size(), requests.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(i, requests[i].updateId);
        EXPECT_EQ(payloads[i], requests[i].payload) << "request " << i;
    }
}

TEST_F(ControllerRoundTrip, BrokenDatagramsAreDroppedAndTheLinkStays) {
    controller.setRawAnswer(Bytes(Zeta::MAX_MESSAGE_SIZE + 100, 0x55));
    adapter->requestKeyEvent(1);
    ASSERT_TRUE(controller.waitForRequests(1, 5000));
    controller.setRawAnswer(Bytes{1, 2, 3, 4, 5});
    adapter->requestKeyEvent(2);
    ASSERT_TRUE(controller.waitForRequests(2, 5000));
    adapter->requestKeyEvent(3);
    ASSERT_TRUE(consumer.waitFor("key 0"));
    EXPECT_EQ(std::vector<std::string>{"key 0"}, consumer.answers());
    EXPECT_TRUE(capture.contains("oversize message", 1));
    EXPECT_TRUE(capture.contains("malformed message of 5 bytes", 1));
    EXPECT_EQ(0, consumer.count("disconnected"));
}

TEST_F(ControllerRoundTrip, AMessageBuiltForALinkThatWasReplacedIsNeverSent) {
    // Programs the browser starts must not inherit the link.
    EXPECT_NE(0, fcntl(adapter->getSocket(), F_GETFD) & FD_CLOEXEC);
    EXPECT_EQ(static_cast<std::uint32_t>(getpid()), adapter->getServerPartyId().processId);
    const int oldSocket = adapter->getSocket();
    const std::uint32_t oldHandle = adapter->getHandle();
    controller.stop();
    ASSERT_TRUE(consumer.waitFor("disconnected"));
    ASSERT_TRUE(controller.start());
    ASSERT_TRUE(consumer.waitFor("connected", 2));
    CZetaOStream stale(adapter->getChannel(), oldSocket, oldHandle, Zeta::REQUEST_TYPE_CALL, Zeta::COMMAND_INVOKE,
                       OrcaBrowserPlugin::UPD_ID_requestKeyEvent, SPartyID(), SPartyID(), 0);
    EXPECT_FALSE(stale.post(false));
    EXPECT_EQ(ENOTCONN, stale.getStatus());
    EXPECT_EQ(0, adapter->requestKeyEvent(2));
    ASSERT_TRUE(consumer.waitFor("key 0"));
    // The controller answers before it records; the stale message would be a malformed first one.
    ASSERT_TRUE(test_support::eventually([&] {
        auto requests = controller.requests();
        return !requests.empty() && requests.back().updateId == OrcaBrowserPlugin::UPD_ID_requestKeyEvent;
    }));
    EXPECT_EQ(1u, controller.requests().size());
}

}  // namespace
