// The X11 event model end to end: a stock browser (no private table) gives
// the office viewer a drawable record and sends GraphicsExpose events; the
// plug-in paints into the drawable through cairo's Xlib surface, inside the
// exposed part of its area only. Runs under xvfb-run (see CMakeLists.txt);
// skips without a display. The fixture (and GoogleTest) comes before Xlib,
// whose None macro would break GoogleTest's templates.
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
        if ((display = XOpenDisplay(nullptr)) == nullptr) GTEST_SKIP() << "no X display";
        OfficeViewerFixture::SetUp();
    }
    void TearDown() override {
        if (display == nullptr) return;
        OfficeViewerFixture::TearDown();
        // cairo's font cache keeps its record of a display it drew text on
        // until the process ends; the leak checker is told so.
        cairo_surface_t* probe = cairo_xlib_surface_create(display, DefaultRootWindow(display),
                                                           DefaultVisual(display, DefaultScreen(display)), 1, 1);
        if (__lsan_ignore_object != nullptr) __lsan_ignore_object(cairo_surface_get_device(probe));
        cairo_surface_destroy(probe);
        XCloseDisplay(display);
    }
    Display* display = nullptr;
};

TEST_F(X11Drawing, ExposedPartOfTheDrawableIsPaintedAndNothingElse) {
    browser.setXDisplay(display);
    host::BrowserOptions options;
    options.initializePrivate = false;
    start(options);
    const int screen = DefaultScreen(display);
    NPSetWindowCallbackStruct info{0, display, DefaultVisual(display, screen), DefaultColormap(display, screen),
                                   static_cast<unsigned>(DefaultDepth(display, screen))};
    Pixmap pixmap = XCreatePixmap(display, RootWindow(display, screen), 800, 480, info.depth);
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XSetForeground(display, gc, 0xFFFFFF);
    XFillRectangle(display, pixmap, gc, 0, 0, 800, 480);
    XFreeGC(display, gc);
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/msword"));
    ASSERT_EQ(NPERR_NO_ERROR, instance.setDrawableWindow(0, 0, 800, 480, &info));
    // The left half, then the right half with its edges given as width and
    // height the way some browsers do: clipped to the plug-in's area all the
    // same. Background, and the progress bar's frame (400 x 60 at 200, 210).
    const struct {
        int x, y, width, height;
        unsigned long left, right, corner;  // at (202, 212), (598, 212), (790, 10)
    } exposures[] = {{0, 0, 400, 480, 0xEEEEEC, 0xFFFFFF, 0xFFFFFF}, {400, 0, 800, 480, 0xEEEEEC, 0xEEEEEC, 0x2E3436}};
    for (const auto& expose : exposures) {
        XEvent event;
        std::memset(&event, 0, sizeof(event));
        event.xgraphicsexpose = XGraphicsExposeEvent{GraphicsExpose, 0, 0, display, pixmap, expose.x, expose.y,
                                                     expose.width, expose.height, 0, 0, 0};
        EXPECT_EQ(1, instance.rawEvent(&event));
        XImage* image = XGetImage(display, pixmap, 0, 0, 800, 480, AllPlanes, ZPixmap);
        EXPECT_EQ(0x2E3436u, XGetPixel(image, 10, 10) & 0xFFFFFF);
        EXPECT_EQ(expose.left, XGetPixel(image, 202, 212) & 0xFFFFFF);
        EXPECT_EQ(expose.right, XGetPixel(image, 598, 212) & 0xFFFFFF);
        EXPECT_EQ(expose.corner, XGetPixel(image, 790, 10) & 0xFFFFFF);
        XDestroyImage(image);
    }
    instance.destroy();
    XFreePixmap(display, pixmap);
}

}  // namespace
