// Starting and joining threads by id, from several threads at once.
#include "platform/qv_thread_ctrl.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

int start(CQVThreadCtrl::IRunnable& runnable, bool detached = false, int stackSize = 0) {
    return CQVThreadCtrl::startThread(runnable, detached, CQVThreadCtrl::DEFAULTPRIORITY, stackSize);
}

// Counts its runs; optionally sleeps first, or tries to join its own thread.
struct Runnable : CQVThreadCtrl::IRunnable {
    void run() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        while (joinSelf && ownId.load() == 0) std::this_thread::yield();
        if (joinSelf) selfJoinRefused = CQVThreadCtrl::join(ownId, 0) == -1 && errno == EDEADLK;
        ++runs;
    }
    int delayMs = 0;
    bool joinSelf = false;
    std::atomic<int> ownId{0}, runs{0};
    std::atomic<bool> selfJoinRefused{false};
};

TEST(CQVThreadCtrl, JoinWaitsForTheEndOfRunAndEveryOtherJoinIsRefused) {
    Runnable slow, detached, self;
    slow.delayMs = 50;
    self.joinSelf = true;
    int id = start(slow);
    ASSERT_NE(0, id);
    EXPECT_EQ(-1, CQVThreadCtrl::join(id, 1)) << "reserved must be 0";
    EXPECT_EQ(0, CQVThreadCtrl::join(id, 0));
    EXPECT_EQ(1, slow.runs.load()) << "join returned before run() ended";
    for (int other : {id, 0, -5, 987654321}) EXPECT_EQ(-1, CQVThreadCtrl::join(other, 0)) << other;
    int detachedId = start(detached, true, 1);  // a stack size below the minimum is raised to it
    ASSERT_NE(0, detachedId);
    EXPECT_EQ(-1, CQVThreadCtrl::join(detachedId, 0));
    self.ownId = start(self, false, 1 << 20);
    while (self.runs.load() == 0) std::this_thread::yield();  // its own join comes first
    EXPECT_EQ(0, CQVThreadCtrl::join(self.ownId, 0));
    EXPECT_TRUE(self.selfJoinRefused.load()) << "a thread joining itself must get EDEADLK";
    while (detached.runs.load() == 0) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // lets it leave run() before `detached` goes
}

TEST(CQVThreadCtrl, ConcurrentStartsGiveDistinctIdsThatEachJoinOnce) {
    Runnable runnable;
    std::mutex idsMutex;
    std::vector<int> ids;
    auto inFourThreads = [](const std::function<void(int)>& body) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) threads.emplace_back(body, t);
        for (std::thread& thread : threads) thread.join();
    };
    inFourThreads([&](int) {
        for (int i = 0; i < 10; ++i) {
            int id = start(runnable);
            std::lock_guard<std::mutex> lock(idsMutex);
            ids.push_back(id);
        }
    });
    std::set<int> distinct(ids.begin(), ids.end());
    EXPECT_EQ(40u, distinct.size());
    EXPECT_EQ(0u, distinct.count(0));
    std::atomic<int> failures(0);
    inFourThreads([&](int t) {
        for (size_t i = t; i < ids.size(); i += 4) failures += CQVThreadCtrl::join(ids[i], 0) != 0;
    });
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(40, runnable.runs.load());
}

TEST(CQVThreadCtrl, StartFailureReturnsZeroWithErrno) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer runtime itself cannot live within the address-space limit";
#endif
    pid_t child = ::fork();  // where the address space may not grow, no stack can be mapped
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = 16 << 20;
        ::setrlimit(RLIMIT_AS, &limit);
        Runnable runnable;
        _exit(start(runnable, false, 64 << 20) == 0 && errno != 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
