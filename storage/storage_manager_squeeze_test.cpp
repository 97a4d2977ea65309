#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "log/logger.h"
#include "storage/storage_manager.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class StorageSqueeze : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_TRUE(mManager.init());
    }

    // Records with cached directories, written as the index in this order.
    void addCached(const TQVVector<CStorageManager::CacheEntry>& list) {
        for (int i = 0; i < list.size(); ++i) {
            ASSERT_TRUE(makeCachedDir(list[i]));
        }
        ASSERT_TRUE(mManager.writeCache(list));
    }

    TQVVector<CStorageManager::CacheEntry> index() {
        TQVVector<CStorageManager::CacheEntry> list;
        mManager.readCache(list);
        return list;
    }

    CStorageManager mManager;
};

}  // namespace

TEST_F(StorageSqueeze, ExactBudgetFitsAnEmptyCache) {
    LogCapture capture;
    EXPECT_TRUE(mManager.squeezeCache(104857600u));
    EXPECT_FALSE(capture.contains("removed"));
    EXPECT_FALSE(exists(cacheDb()));  // nothing to rewrite
}

TEST_F(StorageSqueeze, OneByteOverTheBudgetIsRefusedWithoutTouchingTheCache) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(1, 5, 10));
    addCached(list);
    std::string db = readFile(cacheDb());

    LogCapture capture;
    EXPECT_FALSE(mManager.squeezeCache(104857601u));
    EXPECT_EQ(1u, capture.count("Required size is more than storage size", LogMessage::WARNING));
    EXPECT_FALSE(capture.contains("readCache"));
    EXPECT_EQ(db, readFile(cacheDb()));
    EXPECT_TRUE(exists(cachedDir(list[0])));
}

TEST_F(StorageSqueeze, EvictsTheOlderRecordToMakeRoom) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(0x40, 2000, 30000000));  // newer, first in the file
    list.push_back(makeEntry(0x50, 1000, 60000000));  // older
    addCached(list);

    LogCapture capture;
    EXPECT_TRUE(mManager.squeezeCache(20000000));
    EXPECT_EQ(1u, capture.count(" removed", LogMessage::MESSAGE));
    EXPECT_TRUE(capture.contains(cachedDir(list[1]) + " removed", LogMessage::MESSAGE));
    EXPECT_FALSE(exists(cachedDir(list[1])));
    EXPECT_TRUE(exists(cachedDir(list[0])));

    TQVVector<CStorageManager::CacheEntry> left = index();
    ASSERT_EQ(1, left.size());
    EXPECT_EQ(0x40, left[0].md5[0]);
    EXPECT_EQ(30000000u, left[0].size);
}

TEST_F(StorageSqueeze, EvictsLeastRecentlyUsedFirstWhateverTheFileOrder) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(0x10, 500, 40000000));
    list.push_back(makeEntry(0x20, 100, 40000000));
    list.push_back(makeEntry(0x30, 300, 40000000));
    list.push_back(makeEntry(0x40, 400, 1000));
    addCached(list);

    // 120001000 + 30000000: the two oldest (100, 300) must go.
    EXPECT_TRUE(mManager.squeezeCache(30000000));
    EXPECT_FALSE(exists(cachedDir(list[1])));
    EXPECT_FALSE(exists(cachedDir(list[2])));
    EXPECT_TRUE(exists(cachedDir(list[0])));
    EXPECT_TRUE(exists(cachedDir(list[3])));

    // Survivors are written in ascending time order.
    TQVVector<CStorageManager::CacheEntry> left = index();
    ASSERT_EQ(2, left.size());
    EXPECT_EQ(400u, left[0].time);
    EXPECT_EQ(500u, left[1].time);
}

TEST_F(StorageSqueeze, CacheWithinBudgetIsNotRewritten) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(1, 3, 1000));
    list.push_back(makeEntry(2, 1, 1000));
    list.push_back(makeEntry(3, 2, 1000));
    addCached(list);
    std::string db = readFile(cacheDb());
    std::string checksum = readFile(cacheChecksum());

    LogCapture capture;
    EXPECT_TRUE(mManager.squeezeCache(104857600u - 3000u));
    EXPECT_FALSE(capture.contains("writeCache"));
    EXPECT_EQ(db, readFile(cacheDb()));
    EXPECT_EQ(checksum, readFile(cacheChecksum()));
}

TEST_F(StorageSqueeze, UnremovableOlderDirectoryCostsTheNewerOneToo) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(0x50, 1000, 60000000));
    list.push_back(makeEntry(0x40, 2000, 30000000));
    addCached(list);
    Unremovable pinned(cachedDir(list[0]) + "/index.html");
    if (!pinned.ok()) {
        GTEST_SKIP() << "cannot make a file unremovable here";
    }

    LogCapture capture;
    EXPECT_TRUE(mManager.squeezeCache(20000000));
    EXPECT_EQ(1u, capture.count("Can't remove " + cachedDir(list[0]) + ": ", LogMessage::ERROR));
    EXPECT_EQ(1u, capture.count(" removed", LogMessage::MESSAGE));
    EXPECT_FALSE(exists(cachedDir(list[1])));
    EXPECT_EQ(0, index().size());
}

TEST_F(StorageSqueeze, EveryRemovalFailingEmptiesTheIndexAndFails) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(0x50, 1000, 60000000));
    list.push_back(makeEntry(0x40, 2000, 30000000));
    addCached(list);
    Unremovable pinnedOld(cachedDir(list[0]) + "/index.html");
    Unremovable pinnedNew(cachedDir(list[1]) + "/index.html");
    if (!pinnedOld.ok() || !pinnedNew.ok()) {
        GTEST_SKIP() << "cannot make a file unremovable here";
    }

    LogCapture capture;
    EXPECT_FALSE(mManager.squeezeCache(20000000));
    EXPECT_EQ(2u, capture.count("Can't remove ", LogMessage::ERROR));
    EXPECT_EQ("", readFile(cacheDb()));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", readFile(cacheChecksum()));
}

TEST_F(StorageSqueeze, LargeRecordedSizesDoNotWrapTheBudgetCheck) {
    // Two records of nearly 4 GiB each: a 32-bit sum would wrap to a small
    // number and let everything stay.
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(1, 1, 0xFFFFFF00u));
    list.push_back(makeEntry(2, 2, 0x00000200u + 0x100u));
    addCached(list);

    EXPECT_TRUE(mManager.squeezeCache(100));
    EXPECT_FALSE(exists(cachedDir(list[0])));
    EXPECT_TRUE(exists(cachedDir(list[1])));
    EXPECT_EQ(1, index().size());
}

TEST_F(StorageSqueeze, UnreadableIndexCountsAsEmpty) {
    LogCapture capture;
    EXPECT_TRUE(mManager.squeezeCache(1000));
    EXPECT_EQ(1u, capture.count("Can't read cache", LogMessage::WARNING));
    EXPECT_FALSE(exists(cacheDb()));
}
