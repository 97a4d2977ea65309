#include "ipc/zeta_thread.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int failingStart(CQVThreadCtrl::IRunnable&, bool, int, int) {
    errno = EAGAIN;
    return 0;
}

class ZetaThreadTest : public ::testing::Test {
protected:
    void TearDown() override { CZetaThread::setStartThreadFunction(nullptr); }
    ScopedZetaRuntime runtime;
    LogCapture capture;
};

TEST_F(ZetaThreadTest, StopRightAfterConstructionWaitsForRunToEnd) {
    CZetaThread* thread = new CZetaThread();
    EXPECT_NE(0, thread->getThreadId());
    thread->stop(0);
    // Whether or not run() had begun, it has ended by now.
    EXPECT_FALSE(thread->isRunning());
    EXPECT_EQ(1u, capture.count("Zeta thread finished! << 0x", 0));
    delete thread;
    EXPECT_TRUE(capture.contains("   Calling CQVThreadCtrl::startThread", 0));
    EXPECT_TRUE(capture.contains("   Waiting until Zeta tread", 0));
}

TEST_F(ZetaThreadTest, StopAfterRunEndedReturnsAfterOneSleep) {
    CZetaThread thread;
    thread.stop(0);
    const auto before = Clock::now();
    thread.stop(0);
    const auto took = Clock::now() - before;
    EXPECT_GE(took, 10ms);
    EXPECT_LT(took, 5s) << "stop() waited for a thread that had ended";
}

TEST_F(ZetaThreadTest, StopWakesTheSleepingLoopAtOnce) {
    CZetaThread thread;  // no service: the loop sleeps in poll between attempts
    thread.getConnection().setReconnectDelays(10000, 10000);
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(thread.isRunning());
    const auto before = Clock::now();
    thread.stop(0);
    EXPECT_LT(Clock::now() - before, 5s) << "stop() waited out the 10 s reconnect delay";
}

TEST_F(ZetaThreadTest, ThreadThatFailedToStartIsNotWaitedFor) {
    CZetaThread::setStartThreadFunction(&failingStart);
    CZetaThread thread;
    EXPECT_EQ(0, thread.getThreadId());
    EXPECT_FALSE(thread.isRunning());
    EXPECT_TRUE(capture.contains("Error: CQVThreadCtrl::startThread (this)", 0));
    const auto before = Clock::now();
    thread.stop(0);
    EXPECT_LT(Clock::now() - before, 5s) << "stop() waited for a thread that never started";
}

}  // namespace
