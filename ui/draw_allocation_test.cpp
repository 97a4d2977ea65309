// Drawing must not allocate: this executable replaces the global operator
// new and delete to count C++ allocations while a flag is set. Cairo's own
// allocations (malloc inside the C library) are not counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "log/logger.h"
#include "ui/loading_circle_cairo_widget.h"
#include "ui/progress_bar_cairo_widget.h"
#include "ui/progress_info.h"
#include "ui/surface_test_util.h"

namespace {
std::atomic<bool> gCounting(false);
std::atomic<int> gAllocations(0);
int gLogLines = 0;
void* allocate(std::size_t size) {
    gAllocations += gCounting.load();
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
// Not inlined: the compiler would see free() paired with a new-expression.
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace NPluginUI {
namespace {

TEST(DrawAllocation, DrawingEitherWidgetAllocatesNothing) {
    CCairoContext context;
    CProgressInfo info;
    info.setSize(1000);
    CProgressBarCairoWidget bar(context, info, 400, 60, 5, 48, test::backColor(), test::topColor(),
                                test::barColor(), true);
    CLoadingCircleCairoWidget circle(context, 200, 200, test::topColor(), test::barColor());
    test::TestSurface surface(800, 480);
    context.mCairo = surface.cairo();
    gLogLines = 0;  // a sink that allocates nothing, so each draw's log line is formatted and delivered
    CLogger::setSink([](LogMessage::type, const char*) { ++gLogLines; });
    gCounting = true;
    delete new std::string(100, 'x');
    EXPECT_GE(gAllocations.exchange(0), 2) << "the counter must see operator new";
    for (int position = 0; position <= 1000; position += 250) {
        info.setPosition(position);
        bar.draw(200, 210);
        circle.draw(300, 140);
    }
    gCounting = false;
    CLogger::setSink(nullptr);
    EXPECT_EQ(0, gAllocations.load());
    EXPECT_EQ(10, gLogLines);
}

}  // namespace
}  // namespace NPluginUI
