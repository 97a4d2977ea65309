#include "platform/qv_mutex.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <new>
#include <thread>
#include <vector>

namespace {

// A mutex plus a counter it protects, in memory shared with forked children.
struct SharedBlock {
    CQVMutex mutex;
    volatile long counter;
};

class CQVMutexProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        void* memory = mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(MAP_FAILED, memory);
        mBlock = new (memory) SharedBlock;
        mBlock->counter = 0;
        ASSERT_TRUE(mBlock->mutex.isValid());
    }
    void TearDown() override {
        mBlock->~SharedBlock();
        munmap(mBlock, sizeof(SharedBlock));
    }
    // Forks a child that runs body and exits with its result.
    template <typename Body>
    pid_t spawn(Body body) {
        pid_t child = fork();
        if (child == 0) {
            _exit(body());
        }
        return child;
    }
    static int exitCode(pid_t child) {
        int status = 0;
        if (waitpid(child, &status, 0) != child) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    SharedBlock* mBlock = nullptr;
};

void incrementSlowly(SharedBlock* block, int times) {
    for (int i = 0; i < times; ++i) {
        block->mutex.lock();
        long value = block->counter;
        if (i % 64 == 0) {
            sched_yield();  // widen the window a missing lock would expose
        }
        block->counter = value + 1;
        block->mutex.unlock();
    }
}

}  // namespace

TEST(CQVMutex, OwnerCanLockAgainAndIsFreeAfterMatchingUnlocks) {
    CQVMutex mutex(true, 0);
    ASSERT_EQ(CQVMutex::LOCKED, mutex.lockEx());
    ASSERT_EQ(CQVMutex::LOCKED, mutex.lockEx());
    ASSERT_TRUE(mutex.tryLock());
    std::atomic<int> otherGot(-1);
    auto tryFromOtherThread = [&] {
        std::thread other([&] {
            bool got = mutex.tryLock();
            if (got) {
                mutex.unlock();
            }
            otherGot = got ? 1 : 0;
        });
        other.join();
        return otherGot.load();
    };
    EXPECT_TRUE(mutex.unlock());
    EXPECT_TRUE(mutex.unlock());
    EXPECT_EQ(0, tryFromOtherThread());  // still held once
    EXPECT_TRUE(mutex.unlock());
    EXPECT_EQ(1, tryFromOtherThread());
}

TEST(CQVMutex, ExcludesOtherThreads) {
    CQVMutex mutex(true, 0);
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                mutex.lock();
                ++counter;  // TSan reports a race if exclusion fails
                mutex.unlock();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(80000, counter);
}

TEST(CQVMutex, NativeHandleIsTheObjectAddress) {
    CQVMutex mutex(true, 0);
    EXPECT_EQ(static_cast<void*>(&mutex), static_cast<void*>(mutex.native()));
    ASSERT_EQ(0, pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(&mutex)));
    EXPECT_TRUE(mutex.unlock());
}

TEST_F(CQVMutexProcessTest, ExcludesOtherProcesses) {
    const int kTimes = 20000;
    pid_t a = spawn([&] {
        incrementSlowly(mBlock, kTimes);
        return 0;
    });
    pid_t b = spawn([&] {
        incrementSlowly(mBlock, kTimes);
        return 0;
    });
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(0, exitCode(a));
    EXPECT_EQ(0, exitCode(b));
    EXPECT_EQ(2 * kTimes, mBlock->counter);
}

TEST_F(CQVMutexProcessTest, OwnerExitingWhileHoldingIsReportedAndMutexStaysUsable) {
    pid_t child = spawn([&] {
        // Held twice: recovery must not need two unlocks from the next owner.
        return mBlock->mutex.lockEx() == CQVMutex::LOCKED &&
                       mBlock->mutex.lockEx() == CQVMutex::LOCKED
                   ? 0
                   : 1;
    });
    ASSERT_GT(child, 0);
    ASSERT_EQ(0, exitCode(child));
    EXPECT_EQ(CQVMutex::LOCKED_OWNER_DIED, mBlock->mutex.lockEx());
    EXPECT_TRUE(mBlock->mutex.unlock());
    // Free again: another process gets it normally.
    pid_t next = spawn([&] {
        if (mBlock->mutex.lockEx() != CQVMutex::LOCKED) {
            return 1;
        }
        return mBlock->mutex.unlock() ? 0 : 2;
    });
    EXPECT_EQ(0, exitCode(next));
    EXPECT_EQ(CQVMutex::LOCKED, mBlock->mutex.lockEx());
    EXPECT_TRUE(mBlock->mutex.unlock());
}

TEST_F(CQVMutexProcessTest, OwnerKilledWhileHoldingIsReportedToWaitingLocker) {
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    pid_t child = spawn([&] {
        mBlock->mutex.lock();
        char c = 'x';
        if (write(ready[1], &c, 1) != 1) {
            return 1;
        }
        for (;;) {
            pause();
        }
        return 0;
    });
    ASSERT_GT(child, 0);
    char c = 0;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    close(ready[0]);
    close(ready[1]);
    EXPECT_FALSE(mBlock->mutex.tryLock());
    // A thread already waiting in lockEx is the one told about the death.
    std::atomic<int> result(-1);
    std::thread waiter([&] {
        result = mBlock->mutex.lockEx();
        mBlock->mutex.unlock();
    });
    usleep(20000);
    ASSERT_EQ(0, kill(child, SIGKILL));
    EXPECT_EQ(128 + SIGKILL, exitCode(child));
    waiter.join();
    EXPECT_EQ(CQVMutex::LOCKED_OWNER_DIED, result.load());
    EXPECT_EQ(CQVMutex::LOCKED, mBlock->mutex.lockEx());
    EXPECT_TRUE(mBlock->mutex.unlock());
}
