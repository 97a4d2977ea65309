// The instance base through the built library: creation parameters, the
// windows, host event records, saved data and destruction.
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
    void create(host::HostInstance& instance, const host::HostInstance::Attributes& attributes = {}) {
        ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/x-rrz-test", attributes));
    }
};

TEST_F(InstanceBase, CreationLogsItsParametersDeclaresItWindowlessAndFreesTheSavedData) {
    const char content[] = "50%s %d %n hello";  // copied without its terminator: at most len bytes are read
    const int32_t length = static_cast<int32_t>(sizeof(content) - 1);
    NPSavedData saved{length, browser.browserFuncs().memalloc(length)};
    std::memcpy(saved.buf, content, length);
    long before = browser.outstandingAllocations();
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR,
              instance.create("application/x-rrz-test", {{"src", "a.doc"}, {"WIDTH", "320"}}, NP_EMBED, &saved));
    EXPECT_EQ(before - 1, browser.outstandingAllocations());
    for (const char* line : {"Create plugin instance for MimeType=application/x-rrz-test", "WindowID: 42",
                             "argn[0]:src argv[0]:a.doc", "argn[1]:WIDTH argv[1]:320",
                             "Saved data from last session: 50%s %d %n hello"}) {
        EXPECT_TRUE(browser.logContains(line, 0)) << line;
    }
    auto calls = browser.setValueCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_TRUE(calls[0].variable == NPPVpluginWindowBool && calls[0].value == nullptr &&
                calls[0].instance == instance.npp());
    NPObject* object = reinterpret_cast<NPObject*>(&before);
    EXPECT_EQ(NPERR_NO_ERROR, browser.pluginFuncs().getvalue(instance.npp(), NPPVpluginScriptableNPObject, &object));
    EXPECT_EQ(nullptr, object);

    host::HostInstance failing(browser);
    EXPECT_EQ(NPERR_OUT_OF_MEMORY_ERROR, failing.create("application/x-rrz-test", {{"test-factory", "null"}}));
    EXPECT_EQ(nullptr, failing.npp()->pdata);
    EXPECT_TRUE(browser.logContains("Error: NS_NewPluginInstance () returned NULL!", 0));
    browser.clearRecords();
    browser.setViewResult(NPERR_GENERIC_ERROR, 0);
    host::HostInstance viewless(browser);
    create(viewless);
    EXPECT_TRUE(browser.logContains("Can`t get windowId from the webkit process", 2));
    EXPECT_FALSE(browser.logContains("WindowID:"));
}

TEST_F(InstanceBase, FirstWindowInitialisesAndEveryWindowReachesTheHook) {
    host::HostInstance instance(browser), sized(browser), refusing(browser);
    create(instance);
    int handle = 0, other = 0;
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(10, 20, 300, 200, &handle));
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 50, 60, &handle));  // same handle: stored window kept
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(1, 2, 3, 4, &other));
    EXPECT_EQ(1u, browser.logCount("TestInstance: onInit"));
    EXPECT_EQ(2u, browser.logCount("TestInstance: onSetWindow 10 20 300 200"));
    EXPECT_TRUE(browser.logContains("TestInstance: onSetWindow 1 2 3 4"));
    create(sized, {{"WIDTH", "640"}, {"Height", "abc"}});  // size attributes in any letter case
    NPWindow window;
    std::memset(&window, 0, sizeof(window));  // null handle: the stored record stays
    window.width = window.height = 1;
    EXPECT_EQ(NPERR_NO_ERROR, browser.pluginFuncs().setwindow(sized.npp(), &window));
    EXPECT_TRUE(browser.logContains("TestInstance: onSetWindow 0 0 640 0"));
    create(refusing, {{"test-set-window", "false"}});
    EXPECT_EQ(NPERR_GENERIC_ERROR, refusing.setWindow(0, 0, 10, 10));
}

TEST_F(InstanceBase, DrawIsRefusedBeforeTheFirstWindowThenCombinesBothHooks) {
    host::HostInstance early(browser);
    create(early);
    host::DrawTarget target(40, 30);
    EXPECT_EQ(0, early.draw(&target));
    EXPECT_TRUE(browser.logContains("Error: received PAPI_DRAW_EVENT, but not initialized yet!", 0));
    EXPECT_FALSE(browser.logContains("TestInstance: onDraw"));
    const struct { const char *surfaceHook, *rectHook; bool withSurface; int result; } rows[] = {
        {"true", "true", true, 1},   {"false", "true", true, 0}, {"true", "false", true, 0},
        {"false", "true", false, 1}, {"true", "false", false, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.surfaceHook) + "/" + row.rectHook + (row.withSurface ? "" : ", no surface"));
        host::HostInstance instance(browser);
        create(instance, {{"test-draw-surface", row.surfaceHook}, {"test-draw-rect", row.rectHook}});
        ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 40, 30));
        browser.clearRecords();
        EXPECT_EQ(row.result, instance.draw(row.withSurface ? &target : nullptr));
        EXPECT_EQ(row.withSurface ? 1u : 0u, browser.logCount("TestInstance: onDraw(surface)"));
        EXPECT_EQ(1u, browser.logCount("TestInstance: onDraw(rects)"));
        EXPECT_TRUE(browser.logContains("pluginRect: top=0 left=0 bottom=30 right=40"));
        EXPECT_TRUE(browser.logContains("clipRect  : top=0 left=0 bottom=30 right=40"));
    }
}

TEST_F(InstanceBase, EventRecordsReachTheHooksAndMalformedOnesAreNotHandled) {
    host::HostInstance instance(browser);
    create(instance);
    int record[5] = {0};
    EXPECT_EQ(0, instance.rawEvent(nullptr));
    EXPECT_EQ(0, instance.event(PAPI_MOUSE_EVENT, nullptr));
    EXPECT_EQ(0, instance.event(5, record));
    EXPECT_EQ(0, instance.mouse(7, 1, 2));
    EXPECT_EQ(2u, browser.logCount("Error: received NULL event!", 0));
    EXPECT_TRUE(browser.logContains("Error: received undefined event 5 (0x05)!", 0));
    EXPECT_FALSE(browser.logContains("TestInstance: onMouse"));
    // Not registered with the controller: mouse and keys go nowhere and are unhandled.
    EXPECT_EQ(0, instance.mouse(1, -5, 7, 2, 3));
    for (const char* line : {"TestInstance: onMouse 1 -5 7", "eventType:1 x=-5 y=7", "button: 2", "flags: 3"})
        EXPECT_TRUE(browser.logContains(line)) << line;
    EXPECT_EQ(1, instance.zoom(1, 1.5));
    EXPECT_EQ(1, instance.scroll(0, 3, 4));
    EXPECT_TRUE(browser.logContains("type=0 x=3 y=4"));
    // Key flags: 0x01 down, 0x02 repeat; the key is the cap (0x80 valid), else the scan code (0x20 valid).
    const struct { int flags; const char* key; } keys[] = {{0x81, "65"}, {0x22, "67"}, {0x80, nullptr}, {0x41, nullptr}};
    for (const auto& row : keys) {
        browser.clearRecords();
        EXPECT_EQ(0, instance.key(0, 65, 66, 67, row.flags));
        std::string line = std::string("TestInstance: onKey ") + (row.key ? row.key : "");
        EXPECT_EQ(row.key != nullptr, browser.logContains(line)) << std::hex << row.flags;
    }
}

TEST_F(InstanceBase, DestroyWritesTheSessionDataShutsTheWorkerDownAndSurvivesNoMemory) {
    host::HostInstance instance(browser), working(browser);
    create(instance);
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 10, 10));
    NPSavedData* saved = nullptr;
    EXPECT_EQ(NPERR_NO_ERROR, instance.destroy(&saved));
    ASSERT_NE(nullptr, saved);
    EXPECT_EQ(20, saved->len);
    EXPECT_STREQ("Dummy session data!", static_cast<const char*>(saved->buf));
    EXPECT_EQ(1u, browser.logCount("TestInstance: onCleanup", 1));  // a warning reaches the warning log
    EXPECT_EQ(1u, browser.logCount("TestInstance: destroyed"));
    browser.browserFuncs().memfree(saved->buf);
    browser.browserFuncs().memfree(saved);
    EXPECT_EQ(0, browser.outstandingAllocations());

    browser.clearRecords();
    create(working, {{"test-thread-running", "true"}});
    browser.failMemAlloc(true);
    saved = reinterpret_cast<NPSavedData*>(&working);
    EXPECT_EQ(NPERR_NO_ERROR, working.destroy(&saved));
    EXPECT_EQ(nullptr, saved);
    EXPECT_TRUE(browser.logContains("WARNING: Wait until tread has finished!", 0));
    EXPECT_EQ(2u, browser.logCount("TestInstance: onCleanup"));
    EXPECT_EQ(1u, browser.logCount("TestInstance: destroyed"));
}

}  // namespace
