#include <gtest/gtest.h>

#include <string>

#include "log/logger.h"
#include "storage/storage_manager.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class StorageCache : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_TRUE(mManager.init());
    }

    TQVVector<CStorageManager::CacheEntry> threeEntries() {
        TQVVector<CStorageManager::CacheEntry> list;
        list.push_back(makeEntry(0x10, 3000000000000000000ull, 1000, "index.html"));
        list.push_back(makeEntry(0x20, 1, 0x01020304u, "a.htm"));
        list.push_back(makeEntry(0x30, 0x1122334455667788ull, 0, "x"));
        return list;
    }

    CStorageManager mManager;
};

// A record as the device writes it, built field by field.
std::string recordBytes(UInt8 key, UInt64 time, UInt32 size, const std::string& entryPoint) {
    std::string bytes;
    for (int i = 0; i < 16; ++i) {
        bytes += static_cast<char>(key + i * 17);
    }
    for (int i = 0; i < 8; ++i) {
        bytes += static_cast<char>(time >> (8 * i));
    }
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>(size >> (8 * i));
    }
    bytes += entryPoint;
    bytes.append(36 - entryPoint.size(), '\0');
    return bytes;
}

}  // namespace

TEST_F(StorageCache, ThreeRecordsGiveA192ByteFileInListOrder) {
    ASSERT_TRUE(mManager.writeCache(threeEntries()));

    std::string expected = recordBytes(0x10, 3000000000000000000ull, 1000, "index.html") +
                           recordBytes(0x20, 1, 0x01020304u, "a.htm") +
                           recordBytes(0x30, 0x1122334455667788ull, 0, "x");
    std::string db = readFile(cacheDb());
    ASSERT_EQ(192u, db.size());
    EXPECT_EQ(expected, db);
    EXPECT_EQ(md5Hex(expected), readFile(cacheChecksum()));
    EXPECT_FALSE(exists(cacheDb() + ".new"));
    EXPECT_FALSE(exists(cacheChecksum() + ".new"));
}

TEST_F(StorageCache, WrittenRecordsReadBackInOrder) {
    ASSERT_TRUE(mManager.writeCache(threeEntries()));
    LogCapture capture;
    TQVVector<CStorageManager::CacheEntry> list;
    ASSERT_TRUE(mManager.readCache(list));
    ASSERT_EQ(3, list.size());
    EXPECT_EQ(3000000000000000000ull, list[0].time);
    EXPECT_EQ(0x01020304u, list[1].size);
    EXPECT_STREQ("a.htm", list[1].entryPoint);
    EXPECT_STREQ("x", list[2].entryPoint);
    EXPECT_EQ(0x30, list[2].md5[0]);
    EXPECT_TRUE(capture.contains("Checksum of the cache.db is valid", LogMessage::MESSAGE));
}

TEST_F(StorageCache, EmptyListChecksumIsTheDigestOfNoBytes) {
    ASSERT_TRUE(mManager.writeCache(TQVVector<CStorageManager::CacheEntry>()));
    EXPECT_EQ("", readFile(cacheDb()));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", readFile(cacheChecksum()));

    TQVVector<CStorageManager::CacheEntry> list;
    LogCapture capture;
    ASSERT_TRUE(mManager.readCache(list));
    EXPECT_EQ(0, list.size());
    EXPECT_TRUE(capture.contains("Checksum of the cache.db is valid", LogMessage::MESSAGE));
}

TEST_F(StorageCache, TrailingPartialRecordIsIgnored) {
    ASSERT_TRUE(mManager.writeCache(threeEntries()));
    std::string db = readFile(cacheDb());
    ASSERT_TRUE(writeFile(cacheDb(), db + std::string(63, 'p')));

    TQVVector<CStorageManager::CacheEntry> list;
    LogCapture capture;
    ASSERT_TRUE(mManager.readCache(list));
    EXPECT_EQ(3, list.size());
    EXPECT_TRUE(capture.contains("Checksum of the cache.db is valid", LogMessage::MESSAGE));
    // The next rewrite drops it.
    ASSERT_TRUE(mManager.writeCache(list));
    EXPECT_EQ(db, readFile(cacheDb()));
}

TEST_F(StorageCache, MissingIndexIsAWarningAndFalse) {
    TQVVector<CStorageManager::CacheEntry> list;
    LogCapture capture;
    EXPECT_FALSE(mManager.readCache(list));
    EXPECT_TRUE(capture.contains("Can't open cache.db: No such file or directory", LogMessage::WARNING));
}

TEST_F(StorageCache, ChecksumWithALineEndStillVerifies) {
    ASSERT_TRUE(mManager.writeCache(threeEntries()));
    ASSERT_TRUE(writeFile(cacheChecksum(), readFile(cacheChecksum()) + "\n"));
    TQVVector<CStorageManager::CacheEntry> list;
    ASSERT_TRUE(mManager.readCache(list));
    EXPECT_EQ(3, list.size());
}

namespace {

// Writes three records with a cached directory each, then replaces the
// checksum file (or removes it); the next read must throw the whole cache away.
void expectReadClearsCache(CStorageManager& manager,
                           const std::string& spoiledChecksum, bool removeChecksum,
                           const std::string& expectedError) {
    TQVVector<CStorageManager::CacheEntry> written;
    for (UInt8 key = 1; key <= 3; ++key) {
        written.push_back(makeEntry(key, key, 100));
        ASSERT_TRUE(makeCachedDir(written[key - 1]));
    }
    ASSERT_TRUE(manager.writeCache(written));
    if (removeChecksum) {
        ASSERT_EQ(0, ::unlink(cacheChecksum().c_str()));
    } else {
        ASSERT_TRUE(writeFile(cacheChecksum(), spoiledChecksum));
    }

    LogCapture capture;
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(9, 9, 9));  // callers pass an empty list; it is emptied anyway
    EXPECT_TRUE(manager.readCache(list));
    EXPECT_EQ(0, list.size());
    EXPECT_TRUE(capture.contains(expectedError, LogMessage::ERROR)) << expectedError;
    for (int i = 0; i < written.size(); ++i) {
        EXPECT_FALSE(exists(cachedDir(written[i])));
    }
    EXPECT_FALSE(exists(cacheDb()));
    EXPECT_FALSE(exists(cacheChecksum()));
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
    EXPECT_TRUE(lockIsFreeForOthers());
}

}  // namespace

TEST_F(StorageCache, MissingChecksumClearsTheCache) {
    expectReadClearsCache(mManager, "", true,
                          "Can't open /cache_checksum: No such file or directory");
}

TEST_F(StorageCache, UppercaseChecksumClearsTheCache) {
    std::string db;
    {
        TQVVector<CStorageManager::CacheEntry> written;
        for (UInt8 key = 1; key <= 3; ++key) {
            written.push_back(makeEntry(key, key, 100));
        }
        ASSERT_TRUE(mManager.writeCache(written));
        db = readFile(cacheDb());
    }
    std::string upper = md5Hex(db);
    for (char& c : upper) {
        c = static_cast<char>(toupper(c));
    }
    ASSERT_NE(upper, md5Hex(db));
    expectReadClearsCache(mManager, upper, false, "Checksum of the cache.db is invalid");
}

TEST_F(StorageCache, WrongChecksumClearsTheCache) {
    expectReadClearsCache(mManager, std::string(32, '0'), false,
                          "Checksum of the cache.db is invalid");
}

TEST_F(StorageCache, ShortChecksumClearsTheCache) {
    expectReadClearsCache(mManager, "0123456789abcdef", false,
                          "Can't read from /cache_checksum file");
}

TEST_F(StorageCache, TruncatedIndexClearsTheCache) {
    TQVVector<CStorageManager::CacheEntry> written;
    for (UInt8 key = 1; key <= 3; ++key) {
        written.push_back(makeEntry(key, key, 100));
        ASSERT_TRUE(makeCachedDir(written[key - 1]));
    }
    ASSERT_TRUE(mManager.writeCache(written));
    // Cut inside the last record: two records remain, the checksum was
    // taken over three.
    ASSERT_TRUE(writeFile(cacheDb(), readFile(cacheDb()).substr(0, 150)));

    LogCapture capture;
    TQVVector<CStorageManager::CacheEntry> list;
    EXPECT_TRUE(mManager.readCache(list));
    EXPECT_EQ(0, list.size());
    EXPECT_TRUE(capture.contains("Checksum of the cache.db is invalid", LogMessage::ERROR));
    EXPECT_FALSE(exists(cachedDir(written[0])));
}

TEST_F(StorageCache, WritingWithoutTheCacheDirectoryFails) {
    removeTree(convertedDir());
    LogCapture capture;
    EXPECT_FALSE(mManager.writeCache(threeEntries()));
    EXPECT_TRUE(capture.contains("Can't open cache.db: No such file or directory", LogMessage::ERROR));
}

TEST(StorageMd5ToString, LowercaseHexMostSignificantDigitFirst) {
    UInt8 digest[16];
    for (int i = 0; i < 16; ++i) {
        digest[i] = static_cast<UInt8>(i);
    }
    EXPECT_STREQ("000102030405060708090a0b0c0d0e0f", CStorageManager::md5ToString(digest).c_str());
    digest[0] = 0xAB;
    digest[15] = 0xFF;
    EXPECT_STREQ("ab0102030405060708090a0b0c0d0eff", CStorageManager::md5ToString(digest).c_str());
}
