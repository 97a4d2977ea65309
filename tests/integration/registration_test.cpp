// Registration of instances with the plug-in controller, through the built
// library, the host stand-in and the controller stand-in on real sockets.
#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "controller_service/plugin_controller_service.h"
#include "ipc/orca_browser_plugin.h"
#include "tests/integration/plugin_fixture.h"

namespace {

using Request = CPluginControllerService::Request;
constexpr int kWaitMs = 15000;

class Registration : public PluginFixture {
protected:
    Registration() : PluginFixture(RRZ_TEST_PLUGIN_PATH) {}
    void SetUp() override {
        PluginFixture::SetUp();
        unsetenv("QV_BROWSER_ID");
        initialize();
    }
    void TearDown() override {
        controller.stop();
        PluginFixture::TearDown();
    }

    std::vector<Request> requestsOf(UInt32 updateId) const {
        std::vector<Request> out;
        for (const Request& request : controller.requests()) {
            if (request.updateId == updateId) out.push_back(request);
        }
        return out;
    }

    bool waitFor(UInt32 updateId, size_t count) {
        return browser.runUntil([&] { return requestsOf(updateId).size() >= count; },
                                std::chrono::milliseconds(kWaitMs));
    }

    CPluginControllerService controller;
};

const UInt32 kRegister = OrcaBrowserPlugin::UPD_ID_requestRegister;
const UInt32 kSetWindow = OrcaBrowserPlugin::UPD_ID_requestSetWindow;
const UInt32 kKey = OrcaBrowserPlugin::UPD_ID_requestKeyEvent;
const UInt32 kMouse = OrcaBrowserPlugin::UPD_ID_requestMouseEvent;
const UInt32 kDeregister = OrcaBrowserPlugin::UPD_ID_requestDeregister;

TEST_F(Registration, ParametersFirstThenConnectionRegistersOnce) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {{"src", "a.doc"}, {"width", "320"}}));
    EXPECT_TRUE(browser.logContains("locked, mParamIsSet = true, mRegisterPending = false"));
    ASSERT_TRUE(controller.start());
    ASSERT_TRUE(waitFor(kRegister, 1));
    auto registrations = requestsOf(kRegister);
    ASSERT_EQ(1u, registrations.size());
    const Request& request = registrations[0];
    EXPECT_EQ("Test plug-in of the entry layer", request.description);
    EXPECT_EQ("application/x-rrz-test:tst:Test document", request.mimeDescription);
    std::vector<std::pair<std::string, std::string>> expected = {
        {"BrowserId", std::to_string(getpid())}, {"src", "a.doc"}, {"width", "320"}, {"WebKitWindowID", "42"}};
    EXPECT_EQ(expected, request.parameters);
    // The subscription follows the registration request on the wire.
    EXPECT_TRUE(browser.runUntil([&] { return controller.subscriptions() >= 1; }, std::chrono::milliseconds(kWaitMs)));
}

TEST_F(Registration, WithoutAViewIdTheWindowIdIsLeftOut) {
    browser.setViewResult(NPERR_GENERIC_ERROR, 0);
    ASSERT_TRUE(controller.start());
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {{"HEIGHT", "x"}}));
    ASSERT_TRUE(waitFor(kRegister, 1));
    std::vector<std::pair<std::string, std::string>> expected = {{"BrowserId", std::to_string(getpid())},
                                                                 {"HEIGHT", "x"}};
    EXPECT_EQ(expected, requestsOf(kRegister)[0].parameters);
}

// The controller first: each instance registers from setParam, once, with
// the browser id from the environment.
TEST_F(Registration, ParametersAndConnectionRacingRegisterExactlyOnceEachTime) {
    setenv("QV_BROWSER_ID", "77", 1);
    ASSERT_TRUE(controller.start());
    const int rounds = 25;
    for (int round = 0; round < rounds; ++round) {
        host::HostInstance instance(browser);
        ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {{"round", std::to_string(round)}}));
        ASSERT_TRUE(waitFor(kRegister, static_cast<size_t>(round + 1))) << "round " << round;
        instance.destroy();
    }
    browser.runUntil([] { return false; }, std::chrono::milliseconds(200));
    auto registrations = requestsOf(kRegister);
    ASSERT_EQ(static_cast<size_t>(rounds), registrations.size());
    for (int round = 0; round < rounds; ++round) {
        const std::vector<std::pair<std::string, std::string>> expected = {
            {"BrowserId", "77"}, {"round", std::to_string(round)}, {"WebKitWindowID", "42"}};
        EXPECT_EQ(expected, registrations[round].parameters);
        EXPECT_EQ(std::vector<std::int32_t>{77}, registrations[round].values);
    }
}

TEST_F(Registration, ReconnectionRegistersAgainWithTheSameParameters) {
    ASSERT_TRUE(controller.start());
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {{"src", "x.ppt"}}));
    ASSERT_TRUE(waitFor(kRegister, 1));
    // The subscription travels beside the queued registration, in either order.
    ASSERT_TRUE(browser.runUntil([&] { return controller.subscriptions() >= 1; }, std::chrono::milliseconds(kWaitMs)));
    controller.stop();
    ASSERT_TRUE(controller.start());
    ASSERT_TRUE(waitFor(kRegister, 2));
    auto registrations = requestsOf(kRegister);
    EXPECT_EQ(registrations[0].parameters, registrations[1].parameters);
    // The new link subscribes to the configuration path again.
    EXPECT_TRUE(browser.runUntil([&] { return controller.subscriptions() >= 2; }, std::chrono::milliseconds(kWaitMs)));
}

TEST_F(Registration, RegisteredInstanceForwardsGeometryKeysAndMouseThenDeregisters) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(10, 20, 300, 200));
    ASSERT_TRUE(controller.start());
    // The accepted registration of an initialised instance sends its geometry.
    ASSERT_TRUE(waitFor(kSetWindow, 1));
    auto windows = requestsOf(kSetWindow);
    ASSERT_EQ(1u, windows.size());
    EXPECT_EQ((std::vector<std::int32_t>{10, 20, 300, 200}), windows[0].values);
    EXPECT_NE(0u, windows[0].instanceId);

    EXPECT_EQ(1, instance.key(0, 65, 0, 0, 0x81));
    ASSERT_TRUE(waitFor(kKey, 1));
    EXPECT_EQ(std::vector<std::int32_t>{65}, requestsOf(kKey)[0].values);

    EXPECT_EQ(1, instance.mouse(0, 5, 6, 1));
    EXPECT_EQ(0, instance.mouse(2, 5, 6, 1));  // moves are never forwarded
    ASSERT_TRUE(waitFor(kMouse, 1));
    EXPECT_EQ((std::vector<std::int32_t>{1, 5, 6}), requestsOf(kMouse)[0].values);

    int otherHandle = 0;
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(1, 2, 3, 4, &otherHandle));
    ASSERT_TRUE(waitFor(kSetWindow, 2));
    EXPECT_EQ((std::vector<std::int32_t>{1, 2, 3, 4}), requestsOf(kSetWindow)[1].values);
    browser.runUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(1u, requestsOf(kMouse).size());

    EXPECT_EQ(NPERR_NO_ERROR, instance.destroy());
    EXPECT_TRUE(waitFor(kDeregister, 1));
}

TEST_F(Registration, RefusedRegistrationLeavesInputUnforwarded) {
    controller.setResult(1);
    ASSERT_TRUE(controller.start());
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    ASSERT_TRUE(waitFor(kRegister, 1));
    ASSERT_TRUE(browser.runUntil([&] { return browser.logContains("Error: RESULT_ERROR", 2); },
                                 std::chrono::milliseconds(kWaitMs)));
    EXPECT_EQ(0, instance.key(0, 65, 0, 0, 0x81));
    EXPECT_EQ(0, instance.mouse(0, 1, 1, 1));
    browser.runUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(requestsOf(kKey).empty());
    EXPECT_TRUE(requestsOf(kMouse).empty());
}

// Attributes too long for one message: the registration goes out with the
// fewest, largest values emptied and every name kept.
TEST_F(Registration, OversizedParametersRegisterWithTheLargestValuesEmptied) {
    struct Row {
        const char* name;
        host::HostInstance::Attributes attributes;
        std::vector<std::string> emptied;
    };
    const std::string a(40000, 'a'), b(40000, 'b'), c(30000, 'c');
    const std::vector<Row> rows = {
        {"one too long", {{"src", "x.doc"}, {"data", std::string(70000, 'd')}}, {"data"}},
        {"two of three", {{"first", c}, {"second", a}, {"third", b}}, {"second", "third"}},
    };
    ASSERT_TRUE(controller.start());
    for (const Row& row : rows) {
        const size_t done = requestsOf(kRegister).size() + 1;
        host::HostInstance instance(browser);
        ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", row.attributes)) << row.name;
        ASSERT_TRUE(waitFor(kRegister, done)) << row.name;
        const Request registration = requestsOf(kRegister).back();
        ASSERT_FALSE(registration.malformed) << row.name;
        // BrowserId first, the attributes, the window id last.
        ASSERT_EQ(row.attributes.size() + 2, registration.parameters.size()) << row.name;
        for (size_t i = 0; i < row.attributes.size(); ++i) {
            const auto& sent = registration.parameters[i + 1];
            const bool emptied = std::find(row.emptied.begin(), row.emptied.end(), sent.first) != row.emptied.end();
            EXPECT_EQ(row.attributes[i].first, sent.first) << row.name;
            EXPECT_EQ(emptied ? std::string() : row.attributes[i].second, sent.second) << row.name << " " << sent.first;
            if (emptied) {
                EXPECT_TRUE(browser.logContains("value of parameter \"" + sent.first + "\"")) << row.name;
            }
        }
        instance.destroy();
    }
}

}  // namespace
