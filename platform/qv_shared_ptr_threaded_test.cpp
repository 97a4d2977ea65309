#include "platform/qv_shared_ptr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Payload {
    explicit Payload(std::atomic<int>* deaths) : mDeaths(deaths), mValue(0) {}
    ~Payload() { mDeaths->fetch_add(1); }
    std::atomic<int>* mDeaths;
    int mValue;
};

}  // namespace

TEST(TQVSharedPtrThreads, CopiesOnManyThreadsDeleteOnceAfterTheLast) {
    std::atomic<int> deaths(0);
    std::vector<std::thread> threads;
    {
        TQVSharedPtr<Payload> shared(new Payload(&deaths));
        for (int t = 0; t < 4; ++t) {
            TQVSharedPtr<Payload> mine(shared);  // each thread gets its own copy
            threads.emplace_back([mine]() mutable {
                for (int i = 0; i < 20000; ++i) {
                    TQVSharedPtr<Payload> a(mine);
                    TQVSharedPtr<Payload> b;
                    b = a;
                    a.reset();
                }
                mine.reset();
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(1u, shared.useCount());
        EXPECT_EQ(0, deaths.load());
    }
    EXPECT_EQ(1, deaths.load());
}

// Two owners each write their own field and let go at the same time; the
// last one's delete reads both fields. Without acquire/release on the count,
// TSan reports the earlier owner's write as racing with the destructor.
struct TwoFields {
    explicit TwoFields(std::atomic<int>* sum) : mSum(sum) {}
    ~TwoFields() { mSum->store(mFirst + mSecond); }
    std::atomic<int>* mSum;
    int mFirst = 0;
    int mSecond = 0;
};

TEST(TQVSharedPtrThreads, LastOwnerSeesWritesOfEarlierOwners) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> sum(-1);
        TQVSharedPtr<TwoFields> first(new TwoFields(&sum));
        TQVSharedPtr<TwoFields> second(first);
        std::thread a([p = std::move(first)]() mutable {
            p->mFirst = 1;
            p.reset();
        });
        std::thread b([p = std::move(second)]() mutable {
            p->mSecond = 2;
            p.reset();
        });
        a.join();
        b.join();
        EXPECT_EQ(3, sum.load());
    }
}
