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

void* allocate(std::size_t size) {
    if (gCounting.load()) ++gAllocations;
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
    void* p = allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) {
    void* p = allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
// Not inlined: the compiler would see free() paired with a new-expression.
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace NPluginUI {
namespace {

using test::backColor;
using test::barColor;
using test::TestSurface;
using test::topColor;

int gLogLines = 0;
void countLine(LogMessage::type, const char*) { ++gLogLines; }

// Counts allocations of the enclosed code; also installs a log sink that
// allocates nothing, so the draw's log line is formatted and delivered.
class AllocationCount {
public:
    AllocationCount() {
        CLogger::setSink(&countLine);
        gLogLines = 0;
        gAllocations = 0;
        gCounting = true;
    }
    ~AllocationCount() {
        gCounting = false;
        CLogger::setSink(nullptr);
    }
    int allocations() const { return gAllocations.load(); }
};

TEST(DrawAllocation, CounterSeesOperatorNew) {
    AllocationCount count;
    std::string* text = new std::string(100, 'x');
    delete text;
    EXPECT_GE(count.allocations(), 2);
}

TEST(DrawAllocation, ProgressBarDrawAllocatesNothing) {
    CCairoContext context;
    CProgressInfo info;
    CProgressBarCairoWidget bar(context, info, 400, 60, 5, 48, backColor(), topColor(), barColor(), true);
    TestSurface surface(800, 480);
    context.mCairo = surface.cairo();
    info.setSize(1000);
    AllocationCount count;
    for (int position = 0; position <= 1000; position += 250) {
        info.setPosition(position);
        bar.draw(200, 210);
    }
    EXPECT_EQ(0, count.allocations());
    EXPECT_EQ(5, gLogLines);
}

TEST(DrawAllocation, LoadingCircleDrawAllocatesNothing) {
    CCairoContext context;
    CLoadingCircleCairoWidget circle(context, 200, 200, topColor(), barColor());
    TestSurface surface(800, 480);
    context.mCairo = surface.cairo();
    AllocationCount count;
    for (int i = 0; i < 12; ++i) circle.draw(300, 140);
    EXPECT_EQ(0, count.allocations());
    EXPECT_EQ(12, gLogLines);
}

}  // namespace
}  // namespace NPluginUI
