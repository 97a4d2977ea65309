#include "ui/surface_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace NPluginUI {
namespace test {

namespace {
CColor fromBytes(int red, int green, int blue) { return CColor(red / 255.0, green / 255.0, blue / 255.0); }

int channel(double value) { return static_cast<int>(value * 255 + 0.5); }

bool near(uint32_t pixel, const CColor& color) {
    if ((pixel >> 24) != 0xff) return false;
    return std::abs(static_cast<int>((pixel >> 16) & 0xff) - channel(color.getRed())) <= 1 &&
           std::abs(static_cast<int>((pixel >> 8) & 0xff) - channel(color.getGreen())) <= 1 &&
           std::abs(static_cast<int>(pixel & 0xff) - channel(color.getBlue())) <= 1;
}
}  // namespace

CColor backColor() { return fromBytes(46, 52, 54); }
CColor topColor() { return fromBytes(238, 238, 236); }
CColor barColor() { return fromBytes(52, 101, 164); }
CColor errorColor() { return fromBytes(239, 41, 41); }

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
    int stride = cairo_image_surface_get_stride(mSurface);
    return *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
}

bool TestSurface::isColor(int x, int y, const CColor& color) { return near(pixel(x, y), color); }

bool TestSurface::inkBounds(int x0, int y0, int x1, int y1, const CColor& a, const CColor& b, int& minX, int& minY,
                            int& maxX, int& maxY) {
    bool found = false;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            uint32_t p = pixel(x, y);
            if (near(p, a) || near(p, b)) continue;
            if (!found) {
                minX = maxX = x;
                minY = maxY = y;
                found = true;
            }
            if (x < minX) minX = x;
            if (x > maxX) maxX = x;
            if (y < minY) minY = y;
            if (y > maxY) maxY = y;
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
