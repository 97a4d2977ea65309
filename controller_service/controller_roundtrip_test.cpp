// Adapter, proxy and middleware against the controller stand-in over real
// sockets, each test in its own runtime directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "controller_service/controller_test_consumer.h"
#include "controller_service/plugin_controller_service.h"
#include "ipc/ipc_test_support.h"
#include "ipc/orca_browser_plugin_codec.h"
#include "ipc/zeta_ipc_adapter.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace NPluginsIPCCommunications;
using OrcaBrowserPlugin::UPD_ID_requestRegister;
using OrcaBrowserPlugin::UPD_ID_requestDeregister;
using OrcaBrowserPlugin::UPD_ID_responseRegister;
using OrcaBrowserPlugin::UPD_ID_responseKeyEvent;
using OrcaBrowserPlugin::ZetaWriteUInt32;
using namespace std::chrono_literals;
typedef std::vector<std::uint8_t> Bytes;

class ControllerRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.ok());
        unsetenv("QV_BROWSER_ID");
        ASSERT_TRUE(controller.start());
    }
    void TearDown() override {
        adapter.reset();
        controller.stop();
        unsetenv("QV_BROWSER_ID");
    }
    // The adapter, once the controller accepted it.
    void connect(CIPCConsumerBase* to) {
        adapter.reset(new CZetaIPCAdapter(to));
        ASSERT_TRUE(controller.waitForConnections(1, 3000));
        for (int i = 0; i < 300 && !adapter->isConnected(); ++i) std::this_thread::sleep_for(10ms);
        ASSERT_TRUE(adapter->isConnected());
    }
    CPluginControllerService::Request registerOnce() {
        tParameterList parameters;
        parameters.push_back(tNameValuePair("src", "http://host/a.doc"));
        parameters.push_back(tNameValuePair("BrowserId", "5"));
        EXPECT_EQ(0, adapter->requestRegister("Office viewer", "application/msword:doc", parameters));
        EXPECT_TRUE(controller.waitForRequests(1, 3000));
        EXPECT_TRUE(consumer.waitFor("register 0"));
        return controller.requests().at(0);
    }

    ScopedZetaRuntime runtime;
    LogCapture capture;
    CPluginControllerService controller;
    TestConsumer consumer;
    std::unique_ptr<CZetaIPCAdapter> adapter;
};

TEST_F(ControllerRoundTrip, RegistrationCarriesTextsParametersAndTheProcessId) {
    connect(&consumer);
    CPluginControllerService::Request request = registerOnce();
    EXPECT_EQ(UPD_ID_requestRegister, request.updateId);
    EXPECT_FALSE(request.malformed);
    EXPECT_EQ("Office viewer", request.description);
    EXPECT_EQ("application/msword:doc", request.mimeDescription);
    ASSERT_EQ(2u, request.parameters.size());
    EXPECT_EQ("src", request.parameters[0].first);
    EXPECT_EQ("http://host/a.doc", request.parameters[0].second);
    EXPECT_EQ("BrowserId", request.parameters[1].first);
    EXPECT_EQ(std::vector<std::int32_t>{getpid()}, request.values);
    EXPECT_EQ(1u, adapter->getInstanceId());
}

TEST_F(ControllerRoundTrip, EmptyBrowserIdMeansTheProcessId) {
    setenv("QV_BROWSER_ID", "", 1);
    connect(&consumer);
    EXPECT_EQ(std::vector<std::int32_t>{getpid()}, registerOnce().values);
}

TEST_F(ControllerRoundTrip, NumericBrowserIdIsSent) {
    setenv("QV_BROWSER_ID", "31337", 1);
    connect(&consumer);
    EXPECT_EQ(std::vector<std::int32_t>{31337}, registerOnce().values);
}

TEST_F(ControllerRoundTrip, NonNumericBrowserIdIsSentAsZero) {
    setenv("QV_BROWSER_ID", "browser-one", 1);
    connect(&consumer);
    EXPECT_EQ(std::vector<std::int32_t>{0}, registerOnce().values);
}

TEST_F(ControllerRoundTrip, RequestBeforeAnyRegisterAnswerCarriesInstanceIdZero) {
    connect(&consumer);
    EXPECT_EQ(0, adapter->requestKeyEvent(13));
    ASSERT_TRUE(controller.waitForRequests(1, 3000));
    EXPECT_EQ(0u, controller.requests()[0].instanceId);
    EXPECT_TRUE(consumer.waitFor("key 0"));
}

TEST_F(ControllerRoundTrip, LaterRequestsCarryTheAssignedIdAndEveryAnswerArrives) {
    connect(&consumer);
    registerOnce();
    controller.setResult(1);
    adapter->requestSetWindow(10, 20, 300, 400);
    adapter->requestKeyEvent(65);
    adapter->requestMouseEvent(2, 7, 8);
    adapter->requestButtonEvent(3);
    adapter->requestDataAvailableEvent("payload");
    adapter->requestDeregister();
    ASSERT_TRUE(controller.waitForRequests(7, 3000));
    ASSERT_TRUE(consumer.waitFor("deregister 1"));
    std::vector<CPluginControllerService::Request> requests = controller.requests();
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_EQ(1u, requests[i].instanceId) << i;
        EXPECT_FALSE(requests[i].malformed) << i;
    }
    EXPECT_EQ((std::vector<std::int32_t>{10, 20, 300, 400}), requests[1].values);
    EXPECT_EQ((std::vector<std::int32_t>{65}), requests[2].values);
    EXPECT_EQ((std::vector<std::int32_t>{2, 7, 8}), requests[3].values);
    EXPECT_EQ((std::vector<std::int32_t>{3}), requests[4].values);
    EXPECT_EQ("payload", requests[5].data);
    EXPECT_EQ(UPD_ID_requestDeregister, requests[6].updateId);
    EXPECT_EQ((std::vector<std::string>{"register 0", "setWindow 1", "key 1", "mouse 1", "button 1", "data 1",
                                        "deregister 1"}),
              consumer.answers());
}

TEST_F(ControllerRoundTrip, EveryRequestPayloadIsEncodedByteForByte) {
    setenv("QV_BROWSER_ID", "258", 1);
    connect(&consumer);
    tParameterList parameters;
    parameters.push_back(tNameValuePair("ab", ""));
    adapter->requestRegister("abc", "", parameters);
    ASSERT_TRUE(consumer.waitFor("register 0"));  // instance id 1 from here on
    adapter->requestSetWindow(-1, 2, 3, 4);
    adapter->requestKeyEvent(5);
    adapter->requestMouseEvent(6, 7, 8);
    adapter->requestButtonEvent(9);
    adapter->requestDataAvailableEvent("ab");
    adapter->requestDeregister();
    ASSERT_TRUE(controller.waitForRequests(7, 3000));
    std::vector<CPluginControllerService::Request> requests = controller.requests();

    Bytes registration;
    appendText(registration, "abc");
    appendText(registration, "");
    appendU32(registration, 1);
    appendText(registration, "ab");
    appendText(registration, "");
    appendU32(registration, 258);
    EXPECT_EQ(registration, requests[0].payload);
    EXPECT_EQ((Bytes{1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}), requests[1].payload);
    EXPECT_EQ((Bytes{1, 0, 0, 0, 5, 0, 0, 0}), requests[2].payload);
    EXPECT_EQ((Bytes{1, 0, 0, 0, 6, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0}), requests[3].payload);
    EXPECT_EQ((Bytes{1, 0, 0, 0, 9, 0, 0, 0}), requests[4].payload);
    EXPECT_EQ((Bytes{1, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0}), requests[5].payload);
    EXPECT_EQ((Bytes{1, 0, 0, 0}), requests[6].payload);
    for (std::size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(i, requests[i].updateId);
}

TEST_F(ControllerRoundTrip, ValidConfigPathReachesTheConsumer) {
    controller.setConfigPath("/var/browser/plugins.cfg", true);
    connect(&consumer);
    adapter->notifyOnConfigPath(true);
    ASSERT_TRUE(consumer.waitFor("config /var/browser/plugins.cfg"));
    EXPECT_TRUE(adapter->isConfigPathValid());
    EXPECT_EQ(CQVString("/var/browser/plugins.cfg"), adapter->getConfigPath());
    EXPECT_TRUE(capture.contains("configPath: /var/browser/plugins.cfg", 0));
}

TEST_F(ControllerRoundTrip, InvalidConfigPathIsNotForwarded) {
    controller.setConfigPath("", false);
    connect(&consumer);
    adapter->notifyOnConfigPath(true);
    for (int i = 0; i < 300 && !capture.contains("ConfigPath:,State:1", 0); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(capture.contains("ConfigPath:,State:1", 0));
    EXPECT_FALSE(adapter->isConfigPathValid());
    EXPECT_TRUE(consumer.answers().empty());
}

TEST_F(ControllerRoundTrip, InvalidAndFailedAnswersProduceNoConsumerAnswer) {
    connect(&consumer);
    controller.setAnswerTypeCode(513);
    adapter->requestKeyEvent(1);
    ASSERT_TRUE(controller.waitForRequests(1, 3000));
    controller.setAnswerTypeCode(516);
    adapter->requestKeyEvent(2);
    ASSERT_TRUE(controller.waitForRequests(2, 3000));
    controller.setAnswerTypeCode(512);
    adapter->requestMouseEvent(1, 2, 3);
    // Answers keep their order on the link: once this one is in, the two
    // before it have been handled.
    ASSERT_TRUE(consumer.waitFor("mouse 0"));
    EXPECT_EQ(std::vector<std::string>{"mouse 0"}, consumer.answers());
}

TEST_F(ControllerRoundTrip, BrokenAnswersFromTheControllerAreDropped) {
    connect(&consumer);
    // A register answer with the instance id only, then one whose header
    // claims more bytes than were sent.
    controller.setRawAnswer(controllerMessage(512, UPD_ID_responseRegister,
                                              [](CZetaOStream& out) { ZetaWriteUInt32(out, 9); }));
    adapter->requestRegister("d", "m", tParameterList());
    ASSERT_TRUE(controller.waitForRequests(1, 3000));
    Bytes lying = controllerMessage(512, UPD_ID_responseKeyEvent, [](CZetaOStream& out) { ZetaWriteUInt32(out, 0); });
    lying[36] = 200;
    controller.setRawAnswer(lying);
    adapter->requestKeyEvent(1);
    ASSERT_TRUE(controller.waitForRequests(2, 3000));
    adapter->requestKeyEvent(2);
    ASSERT_TRUE(consumer.waitFor("key 0"));
    EXPECT_EQ(std::vector<std::string>{"key 0"}, consumer.answers());
    EXPECT_EQ(0u, adapter->getInstanceId());
    EXPECT_TRUE(adapter->isConnected());
}

TEST_F(ControllerRoundTrip, AnswersWithoutAConsumerAreReportedMissing) {
    connect(nullptr);
    adapter->requestRegister("d", "m", tParameterList());
    for (int i = 0; i < 300 && adapter->getInstanceId() == 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(1u, adapter->getInstanceId());
    for (int i = 0; i < 300 && capture.count("Consumer is missing", 2) < 2; ++i) std::this_thread::sleep_for(10ms);
    // componentConnected and the register answer
    EXPECT_EQ(2u, capture.count("Consumer is missing", 2));
}

}  // namespace
