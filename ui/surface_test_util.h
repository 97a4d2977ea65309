// Helpers for the widget tests: an ARGB image surface with its cairo context,
// pixel reads, and the instance's colours. Untouched pixels stay 0 (fully
// transparent); opaque colours are compared per channel within one step.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "ui/color.h"

namespace NPluginUI {
namespace test {

inline CColor fromBytes(int red, int green, int blue) { return CColor(red / 255.0, green / 255.0, blue / 255.0); }
// The instance's background, foreground, progress and error colours.
inline CColor backColor() { return fromBytes(46, 52, 54); }
inline CColor topColor() { return fromBytes(238, 238, 236); }
inline CColor barColor() { return fromBytes(52, 101, 164); }
inline CColor errorColor() { return fromBytes(239, 41, 41); }

// Whether an opaque pixel (0xAARRGGBB) has the colour.
inline bool isColor(uint32_t pixel, const CColor& color) {
    auto near = [pixel](int shift, double value) {
        return std::abs(static_cast<int>((pixel >> shift) & 0xff) - static_cast<int>(value * 255 + 0.5)) <= 1;
    };
    return (pixel >> 24) == 0xff && near(16, color.getRed()) && near(8, color.getGreen()) && near(0, color.getBlue());
}

class TestSurface {
public:
    TestSurface(int width, int height)
        : width(width), height(height), mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
          mCairo(cairo_create(mSurface)) {}
    ~TestSurface() {
        cairo_destroy(mCairo);
        cairo_surface_destroy(mSurface);
    }
    TestSurface(const TestSurface&) = delete;
    TestSurface& operator=(const TestSurface&) = delete;

    cairo_t* cairo() { return mCairo; }
    // 0xAARRGGBB as stored (premultiplied); 0 where nothing was drawn or outside.
    uint32_t pixel(int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0;
        cairo_surface_flush(mSurface);
        const unsigned char* row = cairo_image_surface_get_data(mSurface) + y * cairo_image_surface_get_stride(mSurface);
        return reinterpret_cast<const uint32_t*>(row)[x];
    }
    bool isColor(int x, int y, const CColor& color) { return test::isColor(pixel(x, y), color); }
    bool untouched(int x, int y) { return pixel(x, y) == 0; }

    const int width, height;

private:
    cairo_surface_t* mSurface;
    cairo_t* mCairo;
};

// Drops cairo's process-wide font caches once every test has run, so that
// the leak checker reports only what the tests themselves leave behind.
struct CairoCacheReset : ::testing::Environment {
    void TearDown() override { cairo_debug_reset_static_data(); }
};
inline const ::testing::Environment* const gCairoCacheReset = ::testing::AddGlobalTestEnvironment(new CairoCacheReset);

}  // namespace test
}  // namespace NPluginUI
