// Helpers for the widget tests: an ARGB image surface with its cairo context,
// pixel reads, and the instance's colours. Untouched pixels stay 0 (fully
// transparent); opaque colours are compared per channel within one step.
#pragma once

#include <cairo.h>

#include <cstdint>

#include "ui/color.h"

namespace NPluginUI {
namespace test {

// The instance's background, foreground, progress and error colours.
CColor backColor();
CColor topColor();
CColor barColor();
CColor errorColor();
// Whether an opaque pixel (0xAARRGGBB) has the colour.
bool isColor(uint32_t pixel, const CColor& color);

class TestSurface {
public:
    TestSurface(int width, int height);
    ~TestSurface();
    TestSurface(const TestSurface&) = delete;
    TestSurface& operator=(const TestSurface&) = delete;

    cairo_t* cairo() { return mCairo; }
    int width() const { return mWidth; }
    int height() const { return mHeight; }
    // 0xAARRGGBB as stored (premultiplied); 0 where nothing was drawn.
    uint32_t pixel(int x, int y);
    bool isColor(int x, int y, const CColor& color) { return test::isColor(pixel(x, y), color); }
    bool untouched(int x, int y) { return pixel(x, y) == 0; }
    // Bounds of the pixels inside [x0, x1) x [y0, y1) that are neither of the
    // two colours: the ink of text drawn over them. False if none.
    bool inkBounds(int x0, int y0, int x1, int y1, const CColor& a, const CColor& b, int& minX, int& minY,
                   int& maxX, int& maxY);

private:
    int mWidth;
    int mHeight;
    cairo_surface_t* mSurface;
    cairo_t* mCairo;
};

}  // namespace test
}  // namespace NPluginUI
