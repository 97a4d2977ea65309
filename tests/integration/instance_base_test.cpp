// The instance base through the built library: creation parameters, the
// first window, host event records, saved data and destruction.
#include <cstring>
#include <string>

#include "tests/integration/plugin_fixture.h"

namespace {

class InstanceBase : public PluginFixture {
protected:
    InstanceBase() : PluginFixture(RRZ_TEST_PLUGIN_PATH) {}
    void SetUp() override {
        PluginFixture::SetUp();
        host::BrowserOptions options;
        options.privateFirst = true;
        initialize(options);
    }
};

TEST_F(InstanceBase, FailingFactoryGivesOutOfMemoryAndLeavesPdataAlone) {
    host::HostInstance instance(browser);
    EXPECT_EQ(NPERR_OUT_OF_MEMORY_ERROR, instance.create("application/x-rrz-test", {{"test-factory", "null"}}));
    EXPECT_EQ(nullptr, instance.npp()->pdata);
    EXPECT_TRUE(browser.logContains("Error: NS_NewPluginInstance () returned NULL!", 0));
}

TEST_F(InstanceBase, CreationGathersParametersAndDeclaresTheInstanceWindowless) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {{"src", "a.doc"}, {"WIDTH", "320"}}));
    EXPECT_NE(nullptr, instance.npp()->pdata);
    EXPECT_TRUE(browser.logContains("Create plugin instance for MimeType=application/x-rrz-test", 0));
    EXPECT_TRUE(browser.logContains("argn[0]:src argv[0]:a.doc", 0));
    EXPECT_TRUE(browser.logContains("argn[1]:WIDTH argv[1]:320", 0));
    EXPECT_TRUE(browser.logContains("WindowID: 42", 0));
    EXPECT_TRUE(browser.logContains("saved=0x", 0));
    auto calls = browser.setValueCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(NPPVpluginWindowBool, calls[0].variable);
    EXPECT_EQ(nullptr, calls[0].value);
    EXPECT_EQ(instance.npp(), calls[0].instance);
}

TEST_F(InstanceBase, MissingViewIdIsLoggedAsAnError) {
    browser.setViewResult(NPERR_GENERIC_ERROR, 0);
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    EXPECT_TRUE(browser.logContains("Can`t get windowId from the webkit process", 2));
    EXPECT_FALSE(browser.logContains("WindowID:"));
}

TEST_F(InstanceBase, SavedDataIsLoggedAndItsBufferFreed) {
    const char content[] = "50%s %d %n hello";
    const int32_t length = static_cast<int32_t>(sizeof(content) - 1);
    char* text = static_cast<char*>(browser.browserFuncs().memalloc(length));
    std::memcpy(text, content, length);  // not terminated: at most len bytes are read
    NPSavedData saved{length, text};
    long before = browser.outstandingAllocations();
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {}, NP_EMBED, &saved));
    EXPECT_TRUE(browser.logContains("Saved data from last session: 50%s %d %n hello", 0));
    EXPECT_EQ(before - 1, browser.outstandingAllocations());
}

TEST_F(InstanceBase, FirstWindowInitialisesThenEveryWindowReachesTheHook) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    EXPECT_FALSE(browser.logContains("TestInstance: onInit"));
    int handle = 0;
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(10, 20, 300, 200, &handle));
    EXPECT_EQ(1u, browser.logCount("TestInstance: onInit"));
    EXPECT_TRUE(browser.logContains("TestInstance: onSetWindow 10 20 300 200"));

    // Same handle: the stored window, new geometry included, is kept.
    browser.clearRecords();
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 50, 60, &handle));
    EXPECT_TRUE(browser.logContains("   mWindow.window == aWindow->window (0x"));
    EXPECT_TRUE(browser.logContains("TestInstance: onSetWindow 10 20 300 200"));
    EXPECT_EQ(0u, browser.logCount("TestInstance: onInit"));

    int other = 0;
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(1, 2, 3, 4, &other));
    EXPECT_TRUE(browser.logContains("TestInstance: onSetWindow 1 2 3 4"));
}

TEST_F(InstanceBase, WidthAndHeightAttributesPresetTheWindowInAnyLetterCase) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR,
              instance.create("application/x-rrz-test", {{"WIDTH", "640"}, {"Height", "abc"}}));
    NPWindow window;
    std::memset(&window, 0, sizeof(window));  // null handle: the stored record stays
    window.width = 1;
    window.height = 1;
    EXPECT_EQ(NPERR_NO_ERROR, browser.pluginFuncs().setwindow(instance.npp(), &window));
    EXPECT_TRUE(browser.logContains("TestInstance: onSetWindow 0 0 640 0"));
}

TEST_F(InstanceBase, RefusedWindowHookGivesGenericError) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {{"test-set-window", "false"}}));
    EXPECT_EQ(NPERR_GENERIC_ERROR, instance.setWindow(0, 0, 10, 10));
}

TEST_F(InstanceBase, DrawBeforeInitialisationIsRefused) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    host::DrawTarget target(50, 50);
    EXPECT_EQ(0, instance.draw(&target));
    EXPECT_TRUE(browser.logContains("Error: received PAPI_DRAW_EVENT, but not initialized yet!", 0));
    EXPECT_FALSE(browser.logContains("TestInstance: onDraw"));
}

TEST_F(InstanceBase, DrawResultCombinesBothHooks) {
    struct Case {
        const char* surfaceResult;
        const char* rectResult;
        bool withSurface;
        int expected;
    } cases[] = {{"true", "true", true, 1},  {"false", "true", true, 0}, {"true", "false", true, 0},
                 {"false", "true", false, 1}, {"true", "false", false, 0}};
    for (const Case& c : cases) {
        host::HostInstance instance(browser);
        ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {{"test-draw-surface", c.surfaceResult},
                                                                             {"test-draw-rect", c.rectResult}}));
        ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 40, 30));
        browser.clearRecords();
        host::DrawTarget target(40, 30);
        EXPECT_EQ(c.expected, instance.draw(c.withSurface ? &target : nullptr))
            << c.surfaceResult << "/" << c.rectResult << "/" << c.withSurface;
        EXPECT_EQ(c.withSurface ? 1u : 0u, browser.logCount("TestInstance: onDraw(surface)"));
        EXPECT_EQ(1u, browser.logCount("TestInstance: onDraw(rects)"));
        EXPECT_TRUE(browser.logContains("pluginRect: top=0 left=0 bottom=30 right=40"));
        EXPECT_TRUE(browser.logContains("clipRect  : top=0 left=0 bottom=30 right=40"));
    }
}

TEST_F(InstanceBase, MalformedEventsAreNotHandled) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    EXPECT_EQ(0, instance.rawEvent(nullptr));
    EXPECT_EQ(0, instance.event(PAPI_MOUSE_EVENT, nullptr));
    EXPECT_EQ(2u, browser.logCount("Error: received NULL event!", 0));
    int record[5] = {0};
    EXPECT_EQ(0, instance.event(5, record));
    EXPECT_TRUE(browser.logContains("Error: received undefined event 5 (0x05)!", 0));
    EXPECT_EQ(0, instance.mouse(7, 1, 2));
    EXPECT_FALSE(browser.logContains("TestInstance: onMouse"));
}

TEST_F(InstanceBase, KeyFlagsChooseCapOrScanAndNeedDownOrRepeat) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    // Not registered with the controller: the key goes nowhere and is unhandled.
    EXPECT_EQ(0, instance.key(0, 65, 66, 67, 0x81));
    EXPECT_TRUE(browser.logContains("TestInstance: onKey 65"));
    EXPECT_EQ(0, instance.key(0, 65, 66, 67, 0x22));
    EXPECT_TRUE(browser.logContains("TestInstance: onKey 67"));
    browser.clearRecords();
    EXPECT_EQ(0, instance.key(0, 65, 66, 67, 0x80));
    EXPECT_EQ(0, instance.key(0, 65, 66, 67, 0x41));
    EXPECT_FALSE(browser.logContains("TestInstance: onKey"));
}

TEST_F(InstanceBase, UnregisteredMouseIsUnhandledWhileZoomAndScrollAreHandled) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    EXPECT_EQ(0, instance.mouse(1, -5, 7, 2, 3));
    EXPECT_TRUE(browser.logContains("TestInstance: onMouse 1 -5 7"));
    EXPECT_TRUE(browser.logContains("eventType:1 x=-5 y=7"));
    EXPECT_TRUE(browser.logContains("button: 2"));
    EXPECT_TRUE(browser.logContains("flags: 3"));
    EXPECT_EQ(1, instance.zoom(1, 1.5));
    EXPECT_EQ(1, instance.scroll(0, 3, 4));
    EXPECT_TRUE(browser.logContains("type=0 x=3 y=4"));
}

TEST_F(InstanceBase, GetValueOnTheInstance) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    const NPPluginFuncs& f = browser.pluginFuncs();
    const char* name = nullptr;
    EXPECT_EQ(NPERR_NO_ERROR, f.getvalue(instance.npp(), NPPVpluginNameString, &name));
    EXPECT_STREQ("RrzTestPlugin", name);
    NPObject* object = reinterpret_cast<NPObject*>(&name);
    EXPECT_EQ(NPERR_NO_ERROR, f.getvalue(instance.npp(), NPPVpluginScriptableNPObject, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(NPERR_INVALID_PARAM, f.getvalue(instance.npp(), static_cast<NPPVariable>(0), &object));
    EXPECT_EQ(NPERR_INVALID_PARAM, f.getvalue(instance.npp(), NPPVpluginWindowBool, &object));
    EXPECT_EQ(NPERR_INVALID_PARAM, f.getvalue(instance.npp(), NPPVpluginNameString, nullptr));
    EXPECT_EQ(NPERR_NO_ERROR, f.setvalue(instance.npp(), NPNVprivateModeBool, nullptr));
}

TEST_F(InstanceBase, DestroyWritesTheSessionData) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 10, 10));
    NPSavedData* saved = nullptr;
    EXPECT_EQ(NPERR_NO_ERROR, instance.destroy(&saved));
    ASSERT_NE(nullptr, saved);
    EXPECT_EQ(20, saved->len);
    EXPECT_STREQ("Dummy session data!", static_cast<const char*>(saved->buf));
    EXPECT_EQ(1u, browser.logCount("TestInstance: onCleanup"));
    EXPECT_EQ(1u, browser.logCount("TestInstance: destroyed"));
    browser.browserFuncs().memfree(saved->buf);
    browser.browserFuncs().memfree(saved);
    EXPECT_EQ(0, browser.outstandingAllocations());
}

TEST_F(InstanceBase, DestroyWithoutBrowserMemoryWritesNothingAndDoesNotCrash) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test"));
    browser.failMemAlloc(true);
    NPSavedData* saved = reinterpret_cast<NPSavedData*>(&instance);
    EXPECT_EQ(NPERR_NO_ERROR, instance.destroy(&saved));
    EXPECT_EQ(nullptr, saved);
    EXPECT_EQ(1u, browser.logCount("TestInstance: destroyed"));
}

TEST_F(InstanceBase, RunningWorkerIsShutDownBeforeDeletion) {
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", {{"test-thread-running", "true"}}));
    EXPECT_EQ(NPERR_NO_ERROR, instance.destroy());
    EXPECT_TRUE(browser.logContains("WARNING: Wait until tread has finished!", 0));
    EXPECT_EQ(2u, browser.logCount("TestInstance: onCleanup"));
    EXPECT_EQ(1u, browser.logCount("TestInstance: destroyed"));
}

}  // namespace
