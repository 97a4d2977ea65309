// What a crash, a kill or a damaged file leaves in the cache directory, and
// how the next reader and the next eviction pass deal with it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/logger.h"
#include "storage/storage_manager.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class StorageRecovery : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_TRUE(mManager.init());
    }

    // Records 1..count, each with its cached directory, committed.
    TQVVector<CStorageManager::CacheEntry> committed(int count, UInt32 size = 1000) {
        TQVVector<CStorageManager::CacheEntry> list;
        for (int k = 1; k <= count; ++k) {
            list.push_back(makeEntry(static_cast<UInt8>(k), static_cast<UInt64>(k), size));
            EXPECT_TRUE(makeCachedDir(list[k - 1]));
        }
        EXPECT_TRUE(mManager.writeCache(list));
        return list;
    }

    std::vector<std::string> keysRead() {
        TQVVector<CStorageManager::CacheEntry> list;
        mManager.readCache(list);
        std::vector<std::string> keys;
        for (int i = 0; i < list.size(); ++i) keys.push_back(hexOf(list[i].md5));
        return keys;
    }

    CStorageManager mManager;
};

std::string recordBytes(UInt8 key, const std::string& entryPoint) {
    CStorageManager::CacheEntry entry = makeEntry(key, key, 100);
    UInt8 record[64];
    entry.serialize(record);
    std::string bytes(reinterpret_cast<const char*>(record), 28);
    return bytes + entryPoint.substr(0, 36) + std::string(36 - std::min<size_t>(36, entryPoint.size()), '\0');
}

// A commit writes cache.db.new and cache_checksum.new, then renames both;
// each row is what a kill at one moment of it leaves, old pair = records
// 1..2, new pair = records 1..3.
TEST_F(StorageRecovery, InterruptedIndexCommitRollsForwardOrKeepsTheOldPair) {
    struct Row {
        const char* name;
        bool dbRenamed;         // cache.db holds the new records (else the old ones)
        bool newChecksumLeft;   // cache_checksum.new holds the new checksum
        bool checksumRenamed;   // cache_checksum holds the new checksum
        bool newDbLeft;         // cache.db.new holds the new records
        size_t expected;        // records the next reader keeps
    } rows[] = {
        {"killed before the first rename", false, true, false, true, 2},
        {"killed between the two renames", true, true, false, false, 3},
        {"second rename persisted, first lost", false, false, true, true, 3},
        {"new checksum cut short", false, false, false, true, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        removeTree(convertedDir());
        ASSERT_TRUE(mManager.clearCache());
        TQVVector<CStorageManager::CacheEntry> three = committed(3);
        const std::string newDb = readFile(cacheDb()), newSum = readFile(cacheChecksum());
        three.erase(2);
        ASSERT_TRUE(mManager.writeCache(three));
        const std::string oldDb = readFile(cacheDb()), oldSum = readFile(cacheChecksum());

        ASSERT_TRUE(writeFile(cacheDb(), row.dbRenamed ? newDb : oldDb));
        ASSERT_TRUE(writeFile(cacheChecksum(), row.checksumRenamed ? newSum : oldSum));
        if (row.newDbLeft) {
            ASSERT_TRUE(writeFile(cacheDb() + ".new", newDb));
        }
        ASSERT_TRUE(writeFile(cacheChecksum() + ".new", row.newChecksumLeft ? newSum : newSum.substr(0, 9)));

        EXPECT_EQ(row.expected, keysRead().size());
        EXPECT_TRUE(exists(cachedDir(makeEntry(1, 1, 1)) + "/index.html"));
        EXPECT_EQ(md5Hex(readFile(cacheDb())), readFile(cacheChecksum()));
    }
}

TEST_F(StorageRecovery, NoConsistentPairClearsTheCache) {
    committed(2);
    ASSERT_TRUE(writeFile(cacheChecksum(), std::string(32, '0')));
    ASSERT_TRUE(writeFile(cacheChecksum() + ".new", std::string(32, '1')));
    ASSERT_TRUE(writeFile(cacheDb() + ".new", "stale"));
    EXPECT_TRUE(keysRead().empty());
    EXPECT_FALSE(exists(cachedDir(makeEntry(1, 1, 1))));
}

TEST_F(StorageRecovery, RecordsWithBadEntryPagesAreDroppedWithALogLine) {
    const char* bad[] = {"../../../etc/passwd", "a/index.html", "..", "", "x..y",
                         "no-terminator-fills-all-36-bytes-xxxx"};
    std::string db = recordBytes(1, "index.html");
    for (size_t i = 0; i < sizeof(bad) / sizeof(bad[0]); ++i) db += recordBytes(static_cast<UInt8>(2 + i), bad[i]);
    ASSERT_TRUE(writeFile(cacheDb(), db));
    ASSERT_TRUE(writeFile(cacheChecksum(), md5Hex(db)));
    for (UInt8 key = 1; key < 8; ++key) {
        ASSERT_TRUE(makeCachedDir(makeEntry(key, 1, 1)));
    }

    LogCapture capture;
    EXPECT_EQ(std::vector<std::string>{hexOf(makeEntry(1, 1, 1).md5)}, keysRead());
    EXPECT_EQ(6u, capture.count("bad entry page name", LogMessage::WARNING));
    CQVString path;
    EXPECT_FALSE(mManager.findDocumentInCache(makeEntry(2, 1, 1).md5, path));
}

TEST_F(StorageRecovery, EmptyEntryPageIsNeverServed) {
    TQVVector<CStorageManager::CacheEntry> list = committed(1);
    ASSERT_TRUE(writeFile(cachedDir(list[0]) + "/index.html", ""));
    CQVString path;
    EXPECT_FALSE(mManager.findDocumentInCache(list[0].md5, path));
    EXPECT_TRUE(keysRead().empty());
}

// The eviction pass on what kills leave in the cache directory: the budget
// (100 MiB) holds the two live 40 MB records only when the ghost's bytes are
// not counted, and only directories with a record survive.
TEST_F(StorageRecovery, EvictionPassCountsWhatIsGoneAndCollectsOrphans) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(1, 100, 40000000));  // oldest; directory gone
    list.push_back(makeEntry(2, 200, 40000000));
    list.push_back(makeEntry(3, 300, 40000000));
    ASSERT_TRUE(makeCachedDir(list[1]));
    ASSERT_TRUE(makeCachedDir(list[2]));
    ASSERT_TRUE(mManager.writeCache(list));
    CStorageManager::CacheEntry orphan = makeEntry(9, 1, 1);
    ASSERT_TRUE(makeCachedDir(orphan));  // moved in, killed before its record

    EXPECT_TRUE(mManager.squeezeCache(20000000));
    EXPECT_TRUE(exists(cachedDir(list[1]) + "/index.html"));
    EXPECT_TRUE(exists(cachedDir(list[2]) + "/index.html"));
    EXPECT_FALSE(exists(cachedDir(orphan)));
    EXPECT_EQ(2u, keysRead().size());
}

}  // namespace
