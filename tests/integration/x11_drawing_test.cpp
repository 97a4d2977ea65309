// The X11 event model end to end: a stock browser (no private table) on a
// virtual X server gives the office viewer a drawable record and sends
// GraphicsExpose events; the plug-in paints into the drawable through
// cairo's Xlib surface, inside the exposed part of its area only. Needs
// Xvfb; skips without it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

// The fixture (and GoogleTest) before Xlib, whose None macro would break
// GoogleTest's templates.
#include "tests/integration/office_viewer_fixture.h"
#include "plugin_base/npapi_x11.h"

#include <X11/Xutil.h>

namespace {

class X11Drawing : public OfficeViewerFixture {
protected:
    static void SetUpTestSuite() {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return;
        sServer = fork();
        if (sServer == 0) {
            close(pipeFds[0]);
            std::string fd = std::to_string(pipeFds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        // The display number and a newline, which must be read too: the
        // server dies of a write to a closed pipe.
        std::string number;
        char c;
        while (sServer > 0 && read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
        close(pipeFds[0]);
        if (!number.empty()) sDisplay = XOpenDisplay((":" + number).c_str());
    }

    static void TearDownTestSuite() {
        if (sDisplay != nullptr) XCloseDisplay(sDisplay);
        if (sServer > 0) {
            kill(sServer, SIGTERM);
            waitpid(sServer, nullptr, 0);
        }
    }

    void SetUp() override {
        if (sDisplay == nullptr) GTEST_SKIP() << "no virtual X server (Xvfb) to draw on";
        OfficeViewerFixture::SetUp();
    }

    void TearDown() override {
        if (sDisplay == nullptr) return;
        OfficeViewerFixture::TearDown();
        if (mPixmap != 0) XFreePixmap(sDisplay, mPixmap);
    }

    // A stock browser on the virtual display, an 800 x 480 white drawable,
    // and the instance created with a drawable record for it.
    void open(host::HostInstance& instance) {
        browser.setXDisplay(sDisplay);
        host::BrowserOptions options;
        options.initializePrivate = false;
        start(options);
        const int screen = DefaultScreen(sDisplay);
        mInfo = NPSetWindowCallbackStruct{0, sDisplay, DefaultVisual(sDisplay, screen),
                                          DefaultColormap(sDisplay, screen),
                                          static_cast<unsigned>(DefaultDepth(sDisplay, screen))};
        mPixmap = XCreatePixmap(sDisplay, RootWindow(sDisplay, screen), 800, 480, mInfo.depth);
        GC gc = XCreateGC(sDisplay, mPixmap, 0, nullptr);
        XSetForeground(sDisplay, gc, 0xFFFFFF);
        XFillRectangle(sDisplay, mPixmap, gc, 0, 0, 800, 480);
        XFreeGC(sDisplay, gc);
        ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/msword"));
        ASSERT_EQ(NPERR_NO_ERROR, instance.setDrawableWindow(0, 0, 800, 480, &mInfo));
    }

    // The drawable's pixel as 0xRRGGBB.
    unsigned long pixel(int x, int y) {
        XImage* image = XGetImage(sDisplay, mPixmap, x, y, 1, 1, AllPlanes, ZPixmap);
        unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return value;
    }

    int16_t expose(host::HostInstance& instance, int x, int y, int width, int height) {
        XEvent event;
        std::memset(&event, 0, sizeof(event));
        event.xgraphicsexpose.type = GraphicsExpose;
        event.xgraphicsexpose.display = sDisplay;
        event.xgraphicsexpose.drawable = mPixmap;
        event.xgraphicsexpose.x = x;
        event.xgraphicsexpose.y = y;
        event.xgraphicsexpose.width = width;
        event.xgraphicsexpose.height = height;
        return instance.rawEvent(&event);
    }

    static pid_t sServer;
    static Display* sDisplay;
    NPSetWindowCallbackStruct mInfo;
    Pixmap mPixmap = 0;
};

pid_t X11Drawing::sServer = -1;
Display* X11Drawing::sDisplay = nullptr;

TEST_F(X11Drawing, ExposedPartOfTheDrawableIsPaintedAndNothingElse) {
    host::HostInstance instance(browser);
    ASSERT_NO_FATAL_FAILURE(open(instance));

    // The left half: background and the progress bar's frame (400 x 60 at
    // 200, 210) there, white beyond.
    EXPECT_EQ(1, expose(instance, 0, 0, 400, 480));
    EXPECT_EQ(0x2E3436u, pixel(10, 10));
    EXPECT_EQ(0xEEEEECu, pixel(202, 212));
    EXPECT_EQ(0xFFFFFFu, pixel(598, 212));
    EXPECT_EQ(0xFFFFFFu, pixel(790, 10));
    // The right half, its edges given as width and height the way some
    // browsers do: clipped to the plug-in's area all the same.
    EXPECT_EQ(1, expose(instance, 400, 0, 800, 480));
    EXPECT_EQ(0xEEEEECu, pixel(598, 212));
    EXPECT_EQ(0x2E3436u, pixel(790, 10));

    // Input arrives as X events too; the viewer takes a click.
    XEvent click;
    std::memset(&click, 0, sizeof(click));
    click.xbutton.type = ButtonPress;
    click.xbutton.button = 1;
    EXPECT_EQ(1, instance.rawEvent(&click));
}

TEST_F(X11Drawing, ConvertingAnimationAsksForFramesThroughATimer) {
    host::HostInstance instance(browser);
    ASSERT_NO_FATAL_FAILURE(open(instance));
    host::StreamOptions options;
    options.mimeType = "application/msword";
    instance.stream("http://x.test/slow.doc", "sleep 3000\nindex slow\n", options);

    int invalidations = browser.invalidateCount();
    EXPECT_EQ(1, expose(instance, 0, 0, 800, 480));
    EXPECT_EQ(1, expose(instance, 0, 0, 800, 480));
    EXPECT_EQ(invalidations, browser.invalidateCount()) << "frames wait for the timer";
    EXPECT_EQ(1u, browser.scheduledTimers());
    EXPECT_EQ(1u, browser.fireTimers());
    EXPECT_EQ(invalidations + 1, browser.invalidateCount());

    EXPECT_EQ(1, expose(instance, 0, 0, 800, 480));
    EXPECT_EQ(1u, browser.scheduledTimers());
    instance.destroy();
    EXPECT_EQ(0u, browser.scheduledTimers()) << "a pending frame is cancelled";
}

}  // namespace
