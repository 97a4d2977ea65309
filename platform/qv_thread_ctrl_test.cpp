// Starting and joining threads by id, from several threads at once.
#include "platform/qv_thread_ctrl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

int start(CQVThreadCtrl::IRunnable& runnable, bool detached = false, int stackSize = 0) {
    return CQVThreadCtrl::startThread(runnable, detached, CQVThreadCtrl::DEFAULTPRIORITY, stackSize);
}

// Counts its runs, after sleeping delayMs.
struct Runnable : CQVThreadCtrl::IRunnable {
    void run() override {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        ++runs;
    }
    int delayMs = 0;
    std::atomic<int> runs{0};
};

TEST(CQVThreadCtrl, JoinWaitsForTheEndOfRunAndEveryOtherJoinIsRefused) {
    Runnable slow, detached;
    slow.delayMs = 50;
    int id = start(slow);
    ASSERT_NE(0, id);
    EXPECT_EQ(0, CQVThreadCtrl::join(id, 0));
    EXPECT_EQ(1, slow.runs.load()) << "join returned before run() ended";
    for (int other : {id, 0, -5, 987654321}) EXPECT_EQ(-1, CQVThreadCtrl::join(other, 0)) << other;
    int detachedId = start(detached, true, 1);  // a stack size below the minimum is raised to it
    ASSERT_NE(0, detachedId);
    EXPECT_EQ(-1, CQVThreadCtrl::join(detachedId, 0));
    while (detached.runs.load() == 0) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // lets it leave run() before `detached` goes
}

TEST(CQVThreadCtrl, ConcurrentStartsGiveDistinctIdsThatEachJoinOnce) {
    Runnable runnable;
    std::mutex idsMutex;
    std::set<int> ids;
    std::atomic<int> failures(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                int id = start(runnable);
                std::lock_guard<std::mutex> lock(idsMutex);
                ids.insert(id);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    ASSERT_EQ(40u, ids.size());
    EXPECT_EQ(0u, ids.count(0));
    threads.clear();
    for (int id : ids) threads.emplace_back([&failures, id] { failures += CQVThreadCtrl::join(id, 0) != 0; });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(40, runnable.runs.load());
}

}  // namespace
