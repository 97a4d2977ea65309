#include "ui/surface_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace NPluginUI {
namespace test {

namespace {
CColor fromBytes(int red, int green, int blue) { return CColor(red / 255.0, green / 255.0, blue / 255.0); }
bool near(uint32_t pixel, int shift, double value) {
    return std::abs(static_cast<int>((pixel >> shift) & 0xff) - static_cast<int>(value * 255 + 0.5)) <= 1;
}
}  // namespace

CColor backColor() { return fromBytes(46, 52, 54); }
CColor topColor() { return fromBytes(238, 238, 236); }
CColor barColor() { return fromBytes(52, 101, 164); }
CColor errorColor() { return fromBytes(239, 41, 41); }

bool isColor(uint32_t pixel, const CColor& color) {
    return (pixel >> 24) == 0xff && near(pixel, 16, color.getRed()) && near(pixel, 8, color.getGreen()) &&
           near(pixel, 0, color.getBlue());
}

TestSurface::TestSurface(int width, int height)
    : mWidth(width),
      mHeight(height),
      mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      mCairo(cairo_create(mSurface)) {}

TestSurface::~TestSurface() {
    cairo_destroy(mCairo);
    cairo_surface_destroy(mSurface);
}

uint32_t TestSurface::pixel(int x, int y) {
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return 0;
    cairo_surface_flush(mSurface);
    const unsigned char* data = cairo_image_surface_get_data(mSurface);
    return *reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(mSurface) + x * 4);
}

bool TestSurface::inkBounds(int x0, int y0, int x1, int y1, const CColor& a, const CColor& b, int& minX, int& minY,
                            int& maxX, int& maxY) {
    bool found = false;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (isColor(x, y, a) || isColor(x, y, b)) continue;
            minX = found ? std::min(minX, x) : x;
            maxX = found ? std::max(maxX, x) : x;
            minY = found ? minY : y;
            maxY = y;
            found = true;
        }
    }
    return found;
}

}  // namespace test
}  // namespace NPluginUI

namespace {
// Drops cairo's process-wide font caches once every test has run, so that
// the leak checker reports only what the tests themselves leave behind.
class CairoCacheReset : public ::testing::Environment {
public:
    void TearDown() override { cairo_debug_reset_static_data(); }
};
const ::testing::Environment* const gCairoCacheReset = ::testing::AddGlobalTestEnvironment(new CairoCacheReset);
}  // namespace
