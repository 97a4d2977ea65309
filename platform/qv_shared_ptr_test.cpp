#include "platform/qv_shared_ptr.h"

#include <gtest/gtest.h>

#include "platform/qv_scoped_array.h"

namespace {

struct Tracked {
    explicit Tracked(int* deaths) : mDeaths(deaths) {}
    ~Tracked() { ++*mDeaths; }
    int* mDeaths;
};

struct CountingArrayPolicy {
    static int sDestroyed;
    static void destroy(int* array) {
        ++sDestroyed;
        delete[] array;
    }
};
int CountingArrayPolicy::sDestroyed = 0;

}  // namespace

TEST(TQVSharedPtr, LastOwnerDeletesExactlyOnce) {
    int deaths = 0;
    {
        TQVSharedPtr<Tracked> a(new Tracked(&deaths));
        TQVSharedPtr<Tracked> b(a);
        TQVSharedPtr<Tracked> c;
        c = b;
        EXPECT_EQ(3u, a.useCount());
        a.reset();
        b = TQVSharedPtr<Tracked>();
        EXPECT_EQ(0, deaths);
        EXPECT_EQ(1u, c.useCount());
        c = c;  // self-assignment keeps the object
        EXPECT_EQ(0, deaths);
    }
    EXPECT_EQ(1, deaths);
}

TEST(TQVSharedPtr, EmptyPointerHasNoCountAndNoObject) {
    TQVSharedPtr<Tracked> empty;
    TQVSharedPtr<Tracked> fromNull(nullptr);
    EXPECT_TRUE(empty.isNull());
    EXPECT_FALSE(fromNull);
    EXPECT_EQ(0u, fromNull.useCount());
    EXPECT_TRUE(empty == fromNull);
}

TEST(TQVSharedPtr, ResetAndMoveTransferOwnership) {
    int deaths = 0;
    TQVSharedPtr<Tracked> a(new Tracked(&deaths));
    TQVSharedPtr<Tracked> moved(std::move(a));
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(1u, moved.useCount());
    moved.reset(new Tracked(&deaths));
    EXPECT_EQ(1, deaths);
    moved.reset();
    EXPECT_EQ(2, deaths);
}

TEST(TQVSharedPtr, ArrayPoliciesDeleteTheArray) {
    CountingArrayPolicy::sDestroyed = 0;
    {
        TQVSharedPtr<int, CountingArrayPolicy> a(new int[8]());
        TQVSharedPtr<int, CountingArrayPolicy> b(a);
        a.get()[7] = 5;
        EXPECT_EQ(5, b.get()[7]);
    }
    EXPECT_EQ(1, CountingArrayPolicy::sDestroyed);
    // The shipped policy; a mismatched delete would show under ASan.
    TQVSharedPtr<char, TQVArrayDeleteDeletionPolicy<char> > chars(new char[16]);
    chars.get()[0] = 'x';
}

TEST(TQVScopedArray, ResetAndReleaseManageOwnership) {
    TQVScopedArray<int> array(new int[4]());
    array[3] = 7;
    EXPECT_EQ(7, array.get()[3]);
    array.reset(new int[2]());  // old array deleted (ASan checks)
    int* raw = array.release();
    EXPECT_TRUE(array.isNull());
    delete[] raw;
}
