// Leak gate: one process converts documents in 200 plug-in instances of the
// shipped library in a row, each created, fed, converted, navigated and
// destroyed. Afterwards open descriptors, threads and child processes are
// back where they were, and the heap has not grown: under LeakSanitizer
// nothing unreachable is left, otherwise the bytes in use stay within a
// small allowance (the allocator's and the logger's own bookkeeping).
#include <malloc.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/integration/office_viewer_fixture.h"
#include "tests/support/processes.h"

#if defined(__SANITIZE_ADDRESS__)
#define RRZ_LSAN 1
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using namespace test_support;

class LeakGate : public OfficeViewerFixture {
protected:
    void SetUp() override {
        OfficeViewerFixture::SetUp();
        if (HasFatalFailure()) return;
        start();
    }

    // One instance, one document, to navigation and destruction.
    void convertOne(int i) {
        host::HostInstance instance(browser);
        ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/msword"));
        ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 64, 64));
        host::DrawTarget target(64, 64);
        // Every tenth document repeats one before it, so cache hits are in
        // the mix.
        int content = i % 10 == 9 ? i - 1 : i;
        instance.stream("http://leak.test/doc" + std::to_string(i) + ".doc",
                        convertingScript("document " + std::to_string(content)));
        instance.draw(&target);
        ASSERT_TRUE(waitForNavigation(1, 20000)) << "document " << i;
        instance.draw(&target);
        ASSERT_EQ(NPERR_NO_ERROR, instance.destroy());
        browser.runPendingCalls();
        browser.clearRecords();
    }
};

TEST_F(LeakGate, TwoHundredInstancesLeaveNoDescriptorThreadChildOrHeapBehind) {
    // The first instances create what lives for the process: configuration
    // singletons, the storage mutex mapping's bookkeeping, cairo's caches.
    for (int i = 0; i < 3; ++i) convertOne(1000 + i);
    ASSERT_FALSE(HasFatalFailure());
    const size_t fdsBefore = openDescriptors().size();
    const size_t threadsBefore = threadCount();
    const size_t heapBefore = mallinfo2().uordblks;

    for (int i = 0; i < 200; ++i) {
        convertOne(i);
        ASSERT_FALSE(HasFatalFailure());
    }

    // The last worker may still be finishing after its instance went.
    EXPECT_TRUE(eventually([&] { return openDescriptors().size() == fdsBefore; }))
        << openDescriptors().size() << " descriptors, were " << fdsBefore;
    EXPECT_TRUE(eventually([&] { return threadCount() == threadsBefore; }))
        << threadCount() << " threads, were " << threadsBefore;
    EXPECT_TRUE(eventually(hasNoChildren)) << "a converter process is left";
    const size_t heapAfter = mallinfo2().uordblks;
    std::printf("leak gate: descriptors %zu -> %zu, threads %zu -> %zu, heap %zu -> %zu bytes\n", fdsBefore,
                openDescriptors().size(), threadsBefore, threadCount(), heapBefore, heapAfter);
#ifdef RRZ_LSAN
    EXPECT_EQ(0, __lsan_do_recoverable_leak_check()) << "LeakSanitizer found leaks";
#else
    // 200 instances that each kept as little as 256 bytes would pass 50 KiB.
    EXPECT_LT(heapAfter, heapBefore + 50 * 1024) << "the heap grew by " << heapAfter - heapBefore << " bytes";
#endif
}

}  // namespace
