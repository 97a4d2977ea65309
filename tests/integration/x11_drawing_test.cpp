// The X11 event model end to end: a stock browser (no private table) gives
// the office viewer a drawable record and sends GraphicsExpose events; the
// plug-in paints into the drawable through cairo's Xlib surface, inside the
// exposed part of its area only. Runs under xvfb-run (see CMakeLists.txt);
// skips without a display.
//
// The fixture (and GoogleTest) before Xlib, whose None macro would break
// GoogleTest's templates.
#include "tests/integration/office_viewer_fixture.h"
#include "plugin_base/npapi_x11.h"

#include <X11/Xutil.h>
#include <cairo-xlib.h>

#include <cstring>

// Defined by the leak checker of sanitizer builds only.
extern "C" void __lsan_ignore_object(const void* p) __attribute__((weak));

namespace {

class X11Drawing : public OfficeViewerFixture {
protected:
    void SetUp() override {
        mDisplay = XOpenDisplay(nullptr);
        if (mDisplay == nullptr) GTEST_SKIP() << "no X display";
        OfficeViewerFixture::SetUp();
    }

    void TearDown() override {
        if (mDisplay == nullptr) return;
        OfficeViewerFixture::TearDown();
        // cairo's font cache keeps its record of a display it drew text on
        // until the process ends; the leak checker is told so.
        cairo_surface_t* probe = cairo_xlib_surface_create(mDisplay, DefaultRootWindow(mDisplay),
                                                           DefaultVisual(mDisplay, DefaultScreen(mDisplay)), 1, 1);
        if (__lsan_ignore_object != nullptr) __lsan_ignore_object(cairo_surface_get_device(probe));
        cairo_surface_destroy(probe);
        XCloseDisplay(mDisplay);
    }

    // The drawable's pixel as 0xRRGGBB.
    unsigned long pixel(Pixmap pixmap, int x, int y) {
        XImage* image = XGetImage(mDisplay, pixmap, x, y, 1, 1, AllPlanes, ZPixmap);
        unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return value;
    }

    int16_t expose(host::HostInstance& instance, Pixmap pixmap, int x, int y, int width, int height) {
        XEvent event;
        std::memset(&event, 0, sizeof(event));
        event.xgraphicsexpose = XGraphicsExposeEvent{GraphicsExpose, 0, 0, mDisplay, pixmap, x, y, width, height, 0, 0, 0};
        return instance.rawEvent(&event);
    }

    Display* mDisplay = nullptr;
};

TEST_F(X11Drawing, ExposedPartOfTheDrawableIsPaintedAndNothingElse) {
    browser.setXDisplay(mDisplay);
    host::BrowserOptions options;
    options.initializePrivate = false;
    start(options);
    const int screen = DefaultScreen(mDisplay);
    NPSetWindowCallbackStruct info{0, mDisplay, DefaultVisual(mDisplay, screen), DefaultColormap(mDisplay, screen),
                                   static_cast<unsigned>(DefaultDepth(mDisplay, screen))};
    Pixmap pixmap = XCreatePixmap(mDisplay, RootWindow(mDisplay, screen), 800, 480, info.depth);
    GC gc = XCreateGC(mDisplay, pixmap, 0, nullptr);
    XSetForeground(mDisplay, gc, 0xFFFFFF);
    XFillRectangle(mDisplay, pixmap, gc, 0, 0, 800, 480);
    XFreeGC(mDisplay, gc);
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/msword"));
    ASSERT_EQ(NPERR_NO_ERROR, instance.setDrawableWindow(0, 0, 800, 480, &info));

    // The left half: background and the progress bar's frame (400 x 60 at
    // 200, 210) there, white beyond.
    EXPECT_EQ(1, expose(instance, pixmap, 0, 0, 400, 480));
    EXPECT_EQ(0x2E3436u, pixel(pixmap, 10, 10));
    EXPECT_EQ(0xEEEEECu, pixel(pixmap, 202, 212));
    EXPECT_EQ(0xFFFFFFu, pixel(pixmap, 598, 212));
    EXPECT_EQ(0xFFFFFFu, pixel(pixmap, 790, 10));
    // The right half, its edges given as width and height the way some
    // browsers do: clipped to the plug-in's area all the same.
    EXPECT_EQ(1, expose(instance, pixmap, 400, 0, 800, 480));
    EXPECT_EQ(0xEEEEECu, pixel(pixmap, 598, 212));
    EXPECT_EQ(0x2E3436u, pixel(pixmap, 790, 10));
    instance.destroy();
    XFreePixmap(mDisplay, pixmap);
}

}  // namespace
