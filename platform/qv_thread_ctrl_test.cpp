#include "platform/qv_thread_ctrl.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// Runs until released, so tests can observe a thread that has not ended.
class GatedRunnable : public CQVThreadCtrl::IRunnable {
public:
    void run() override {
        std::unique_lock<std::mutex> lock(mMutex);
        mStarted = true;
        mChanged.notify_all();
        mChanged.wait(lock, [this] { return mOpen; });
        mFinished = true;
    }
    void open() {
        std::lock_guard<std::mutex> lock(mMutex);
        mOpen = true;
        mChanged.notify_all();
    }
    void waitStarted() {
        std::unique_lock<std::mutex> lock(mMutex);
        mChanged.wait(lock, [this] { return mStarted; });
    }
    bool finished() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mFinished;
    }

private:
    std::mutex mMutex;
    std::condition_variable mChanged;
    bool mStarted = false;
    bool mOpen = false;
    bool mFinished = false;
};

class CountingRunnable : public CQVThreadCtrl::IRunnable {
public:
    void run() override { mRuns.fetch_add(1); }
    std::atomic<int> mRuns{0};
};

// Tries to join its own thread from inside run().
class SelfJoiningRunnable : public CQVThreadCtrl::IRunnable {
public:
    void run() override {
        while (mId.load() == 0) {
            std::this_thread::yield();
        }
        mResult = CQVThreadCtrl::join(mId.load(), 0);
        mErrno = errno;
        mDone = true;
    }
    std::atomic<int> mId{0};
    std::atomic<bool> mDone{false};
    int mResult = 1;
    int mErrno = 0;
};

}  // namespace

TEST(CQVThreadCtrl, JoinWaitsForTheEndOfRun) {
    GatedRunnable runnable;
    int id = CQVThreadCtrl::startThread(runnable, false, CQVThreadCtrl::DEFAULTPRIORITY,
                                        CQVThreadCtrl::DEFAULTSTACKSIZE);
    ASSERT_NE(0, id);
    runnable.waitStarted();
    std::atomic<bool> joined(false);
    std::thread joiner([&] {
        EXPECT_EQ(0, CQVThreadCtrl::join(id, 0));
        joined = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(joined.load());
    runnable.open();
    joiner.join();
    EXPECT_TRUE(joined.load());
    EXPECT_TRUE(runnable.finished());
}

TEST(CQVThreadCtrl, JoiningTwiceFails) {
    CountingRunnable runnable;
    int id = CQVThreadCtrl::startThread(runnable, false, CQVThreadCtrl::DEFAULTPRIORITY,
                                        CQVThreadCtrl::DEFAULTSTACKSIZE);
    ASSERT_NE(0, id);
    EXPECT_EQ(0, CQVThreadCtrl::join(id, 0));
    EXPECT_EQ(1, runnable.mRuns.load());
    EXPECT_EQ(-1, CQVThreadCtrl::join(id, 0));
}

TEST(CQVThreadCtrl, JoiningUnknownIdsAndBadArgumentsFails) {
    EXPECT_EQ(-1, CQVThreadCtrl::join(0, 0));
    EXPECT_EQ(-1, CQVThreadCtrl::join(-5, 0));
    EXPECT_EQ(-1, CQVThreadCtrl::join(987654321, 0));
    CountingRunnable runnable;
    int id = CQVThreadCtrl::startThread(runnable, false, CQVThreadCtrl::DEFAULTPRIORITY,
                                        CQVThreadCtrl::DEFAULTSTACKSIZE);
    ASSERT_NE(0, id);
    EXPECT_EQ(-1, CQVThreadCtrl::join(id, 1));  // refused, thread still joinable
    EXPECT_EQ(0, CQVThreadCtrl::join(id, 0));
}

TEST(CQVThreadCtrl, DetachedThreadRunsAndCannotBeJoined) {
    GatedRunnable runnable;
    int id = CQVThreadCtrl::startThread(runnable, true, CQVThreadCtrl::DEFAULTPRIORITY,
                                        CQVThreadCtrl::DEFAULTSTACKSIZE);
    ASSERT_NE(0, id);
    runnable.waitStarted();
    EXPECT_EQ(-1, CQVThreadCtrl::join(id, 0));
    runnable.open();
    while (!runnable.finished()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Let the detached thread leave run() before the runnable goes away.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

TEST(CQVThreadCtrl, ThreadCannotJoinItself) {
    SelfJoiningRunnable runnable;
    int id = CQVThreadCtrl::startThread(runnable, false, CQVThreadCtrl::DEFAULTPRIORITY,
                                        CQVThreadCtrl::DEFAULTSTACKSIZE);
    ASSERT_NE(0, id);
    runnable.mId = id;
    while (!runnable.mDone.load()) {  // its attempt must come before ours
        std::this_thread::yield();
    }
    EXPECT_EQ(0, CQVThreadCtrl::join(id, 0));
    EXPECT_EQ(-1, runnable.mResult);
    EXPECT_EQ(EDEADLK, runnable.mErrno);
}

TEST(CQVThreadCtrl, ExplicitStackSizeIsUsable) {
    CountingRunnable runnable;
    int small = CQVThreadCtrl::startThread(runnable, false, CQVThreadCtrl::DEFAULTPRIORITY, 1);
    int large = CQVThreadCtrl::startThread(runnable, false, 5, 1 << 20);
    ASSERT_NE(0, small);
    ASSERT_NE(0, large);
    EXPECT_EQ(0, CQVThreadCtrl::join(small, 0));
    EXPECT_EQ(0, CQVThreadCtrl::join(large, 0));
    EXPECT_EQ(2, runnable.mRuns.load());
}

TEST(CQVThreadCtrl, ConcurrentStartsGiveDistinctIdsAndAllJoin) {
    CountingRunnable runnable;
    std::mutex idsMutex;
    std::vector<int> ids;
    std::vector<std::thread> starters;
    for (int t = 0; t < 4; ++t) {
        starters.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                int id = CQVThreadCtrl::startThread(runnable, false,
                                                    CQVThreadCtrl::DEFAULTPRIORITY,
                                                    CQVThreadCtrl::DEFAULTSTACKSIZE);
                std::lock_guard<std::mutex> lock(idsMutex);
                ids.push_back(id);
            }
        });
    }
    for (std::thread& starter : starters) {
        starter.join();
    }
    std::set<int> distinct(ids.begin(), ids.end());
    EXPECT_EQ(ids.size(), distinct.size());
    EXPECT_EQ(0u, distinct.count(0));
    // Join from several threads at once, each id exactly once.
    std::atomic<int> failures(0);
    std::vector<std::thread> joiners;
    for (int t = 0; t < 4; ++t) {
        joiners.emplace_back([&, t] {
            for (size_t i = static_cast<size_t>(t); i < ids.size(); i += 4) {
                if (CQVThreadCtrl::join(ids[i], 0) != 0) {
                    failures.fetch_add(1);
                }
            }
        });
    }
    for (std::thread& joiner : joiners) {
        joiner.join();
    }
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(40, runnable.mRuns.load());
}

TEST(CQVThreadCtrl, StartFailureReturnsZero) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer runtime itself cannot live within the address-space limit";
#endif
    // In a child whose address space may not grow, no stack can be mapped.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = 16 << 20;
        setrlimit(RLIMIT_AS, &limit);
        CountingRunnable runnable;
        int id = CQVThreadCtrl::startThread(runnable, false, CQVThreadCtrl::DEFAULTPRIORITY,
                                            64 << 20);
        _exit(id == 0 && errno != 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}
