// The office viewer in a browser without (parts of) the private host table:
// navigation through the standard NPN_GetURL, messages drawn in the plug-in
// instead of sent, and events that are never read as the host's records.
#include <cstring>

#include "tests/integration/office_viewer_fixture.h"

namespace {

using StockBrowser = OfficeViewerFixture;

TEST_F(StockBrowser, NavigatesWithTheStandardServiceAndReadsNoHostRecord) {
    host::BrowserOptions options;
    options.initializePrivate = false;
    start(options);
    host::HostInstance instance(browser);
    open(instance);
    // A draw record where the window system's event is expected: whatever
    // reads it (an X11 build sees event type 0, others refuse it), nothing
    // is painted through the record's surface.
    host::DrawTarget target(800, 480);
    papi_draw_event_t draw{target.context(), {0, 0, 800, 480}, {0, 0, 800, 480}, {0, 0, 800, 480}, {0, 0, 800, 480}};
    union {
        papi_event_t record;
        unsigned char windowSystemEvent[256];
    } event;
    std::memset(&event, 0, sizeof(event));
    event.record = papi_event_t{PAPI_DRAW_EVENT, &draw};
    EXPECT_EQ(0, instance.rawEvent(&event));
    EXPECT_EQ(0u, target.pixel(400, 240));

    instance.stream("http://x.test/stock.doc", convertingScript("stock"));
    ASSERT_TRUE(waitForNavigation());
    host::Navigation navigation = browser.navigations().at(0);
    EXPECT_TRUE(!navigation.privateService && navigation.target == "_self") << navigation.target;
    EXPECT_NE(std::string::npos, navigation.url.find("/index.html?originalpath=http://x.test/stock.doc"));
}

TEST_F(StockBrowser, MessagesWithoutTheMessageServiceAreDrawnAndLogged) {
    const struct { const char* name; bool messageService; NPError navigationResult; const char *script, *message; } rows[] = {
        {"bad content, drawn", false, NPERR_NO_ERROR, "msg 2 cannot read this\n", "Bad content"},
        {"refused navigation, drawn", false, NPERR_GENERIC_ERROR, "index fine\n", "Internal error"},
        {"bad content, sent", true, NPERR_NO_ERROR, "msg 2 cannot read this\n", "Bad content"},
    };
    const NPN_SendMessagePrivateProcPtr service = browser.privateFuncs().sendmessage_private;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        browser.clearRecords();
        browser.privateFuncs().sendmessage_private = row.messageService ? service : nullptr;
        browser.setGetURLResult(row.navigationResult);
        start();
        host::HostInstance instance(browser);
        open(instance);
        instance.stream("http://x.test/failing.doc", row.script);
        int redraws = browser.invalidateCount();
        // The error report is the one redraw request that follows the stream.
        ASSERT_TRUE(browser.runUntil([&] { return browser.invalidateCount() > redraws; },
                                     std::chrono::milliseconds(20000)));
        host::DrawTarget target(800, 480);
        ASSERT_EQ(1, instance.draw(&target));
        int messagePixels = 0;  // in the line below the 200 x 200 loading circle
        for (int y = 356; y < 396; ++y) {
            for (int x = 200; x < 600; ++x) messagePixels += target.pixel(x, y) != kBackgroundPixel;
        }
        EXPECT_EQ(row.messageService ? 1u : 0u, browser.messages().size());
        if (row.messageService) {
            EXPECT_EQ(row.message, browser.messages().at(0).text);
            EXPECT_EQ(0, messagePixels);
        } else {
            EXPECT_TRUE(browser.logContains(std::string("message: ") + row.message, 2));
            EXPECT_GT(messagePixels, 200) << "the message line is drawn";
        }
    }
}

// Without any private table the log has no service to go to: warnings and
// errors reach the browser's standard error, plain messages do not.
TEST_F(StockBrowser, ErrorsAreWrittenToStandardErrorWithoutTheLogService) {
    host::BrowserOptions options;
    options.initializePrivate = false;
    start(options);
    testing::internal::CaptureStderr();
    {
        host::HostInstance instance(browser);
        open(instance);
        instance.stream("http://x.test/failing.doc", "msg 2 cannot read this\n");
        int redraws = browser.invalidateCount();
        browser.runUntil([&] { return browser.invalidateCount() > redraws; }, std::chrono::milliseconds(20000));
    }
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, written.find("error: [VavavozaRozoruv] ")) << written;
    EXPECT_NE(std::string::npos, written.find("message: Bad content\n")) << written;
    // The converter ended by itself before the stop that follows every conversion.
    EXPECT_NE(std::string::npos, written.find("warning: [VavavozaRozoruv] CDerazoZoraveLauncher::kill: ")) << written;
    EXPECT_EQ(std::string::npos, written.find("cur extension = ")) << "plain messages stay out: " << written;
}

}  // namespace
