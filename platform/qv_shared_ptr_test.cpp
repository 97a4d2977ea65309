#include "platform/qv_shared_ptr.h"

#include <gtest/gtest.h>

namespace {

struct CountingPolicy {
    static int sDestroyed;
    static void destroy(int* object) {
        ++sDestroyed;
        delete object;
    }
};
int CountingPolicy::sDestroyed = 0;

TEST(TQVSharedPtr, PolicyRunsOnceWhenTheLastOwnerGoesAndNeverForNull) {
    CountingPolicy::sDestroyed = 0;
    {
        TQVSharedPtr<int, CountingPolicy> empty(nullptr);
        empty.reset();
        EXPECT_TRUE(empty.isNull());
        TQVSharedPtr<int, CountingPolicy> a(new int(5));
        TQVSharedPtr<int, CountingPolicy> b(a);
        a.reset();
        EXPECT_EQ(0, CountingPolicy::sDestroyed);
        EXPECT_EQ(5, *b);
        b.reset(new int(6));
        EXPECT_EQ(1, CountingPolicy::sDestroyed);
    }
    EXPECT_EQ(2, CountingPolicy::sDestroyed);
}

}  // namespace
