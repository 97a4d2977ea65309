// Room in the cache: what a new document may ask for, and eviction under the
// 100 MiB budget, least recently used first.
#include <gtest/gtest.h>

#include <regex>

#include "log/logger.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class StorageSpace : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_TRUE(mManager.init());
    }
    TQVVector<CStorageManager::CacheEntry> index() {
        TQVVector<CStorageManager::CacheEntry> list;
        mManager.readCache(list);
        return list;
    }
    CStorageManager mManager;
};

TEST_F(StorageSpace, NewDocumentNeedsThreeTimesItsSizeToFitTheBudget) {
    struct Row {
        UInt32 size;
        bool accepted;
    } rows[] = {
        {0, true},
        {34952533, true},  // 3 x = 104857599
        {34952534, false},
        // Three times these wraps in 32 bits to 2 and to 2^32 - 3.
        {0x55555556u, false},
        {0xFFFFFFFFu, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        LogCapture capture;
        std::string path = mManager.newDocument("pptx", row.size).c_str();
        EXPECT_EQ(row.accepted, !path.empty());
        EXPECT_EQ(!row.accepted, capture.contains("Can't allocate disk space for document", 1));
        if (row.accepted) {
            EXPECT_TRUE(std::regex_match(path, std::regex(dataDir() + "/files/[0-9]{19,}_[0-9]+\\.pptx"))) << path;
            EXPECT_FALSE(exists(path));
        }
    }
}

TEST_F(StorageSpace, EvictsLeastRecentlyUsedFirstAndKeepsTheRestInTimeOrder) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(0x10, 500, 40000000));
    list.push_back(makeEntry(0x20, 100, 40000000));
    list.push_back(makeEntry(0x30, 300, 40000000));
    list.push_back(makeEntry(0x40, 600, 1000));
    commitRecords(mManager, list);
    // Opened again now: the oldest becomes the newest.
    ASSERT_TRUE(mManager.touchDocument(list[1].md5));

    LogCapture capture;
    EXPECT_TRUE(mManager.squeezeCache(30000000));  // 120001000 + 30000000: two must go
    EXPECT_EQ(2u, capture.count(" removed", 0));
    EXPECT_FALSE(exists(cachedDir(list[2])));
    EXPECT_FALSE(exists(cachedDir(list[0])));
    TQVVector<CStorageManager::CacheEntry> left = index();
    ASSERT_EQ(2, left.size());
    EXPECT_EQ(0x40, left[0].md5[0]);
    EXPECT_EQ(0x20, left[1].md5[0]);
}

}  // namespace
