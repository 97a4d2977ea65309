// The index files byte for byte, and what a crash, a kill or a damaged file
// leaves in the cache directory: how the next reader and the next eviction
// pass deal with it.
#include <gtest/gtest.h>

#include "log/logger.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class StorageIndex : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_TRUE(mManager.init());
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

// A record as every plug-in version writes it, built field by field.
std::string recordBytes(UInt8 key, UInt64 time, UInt32 size, const std::string& entryPoint) {
    std::string bytes;
    for (int i = 0; i < 16; ++i) bytes += static_cast<char>(key + i * 17);
    for (int i = 0; i < 8; ++i) bytes += static_cast<char>(time >> (8 * i));
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(size >> (8 * i));
    return bytes + entryPoint.substr(0, 36) + std::string(36 - std::min<size_t>(36, entryPoint.size()), '\0');
}

TEST_F(StorageIndex, IsWrittenByteForByteAndReadBack) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(0x10, 3000000000000000000ull, 1000));
    list.push_back(makeEntry(0x20, 1, 0x01020304u));
    ASSERT_TRUE(mManager.writeCache(list));
    const std::string expected = recordBytes(0x10, 3000000000000000000ull, 1000, "index.html") +
                                 recordBytes(0x20, 1, 0x01020304u, "index.html");
    EXPECT_EQ(expected, readFile(cacheDb()));
    EXPECT_EQ(md5Hex(expected), readFile(cacheChecksum()));
    EXPECT_EQ((std::vector<std::string>{"cache.db", "cache_checksum", "version"}), listDirectory(convertedDir()));

    // A trailing partial record is neither read nor digested, and goes at
    // the next commit.
    ASSERT_TRUE(writeFile(cacheDb(), expected + std::string(63, 'p')));
    TQVVector<CStorageManager::CacheEntry> back;
    ASSERT_TRUE(mManager.readCache(back));
    ASSERT_EQ(2, back.size());
    EXPECT_EQ(3000000000000000000ull, back[0].time);
    EXPECT_EQ(0x01020304u, back[1].size);
    ASSERT_TRUE(mManager.writeCache(back));
    EXPECT_EQ(expected, readFile(cacheDb()));
    ASSERT_TRUE(mManager.writeCache(TQVVector<CStorageManager::CacheEntry>()));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", readFile(cacheChecksum()));
}

// A commit writes cache.db.new and cache_checksum.new, then renames both.
// Each row is what a kill or a power loss at one moment of a commit, or a
// damaged file, leaves of the old pair (records 1..2) and the new one
// (1..3); the next reader keeps the newest consistent pair, or clears the
// whole cache when there is none.
TEST_F(StorageIndex, ReaderFinishesAnInterruptedCommitAndClearsOnlyWhatCannotBeTrusted) {
    enum File { OLD, NEW, NONE, CUT, WRONG, UPPER, LINE_END };
    struct Row {
        const char* name;
        File db, sum, newDb, newSum;
        int kept;
    } rows[] = {
        {"committed", NEW, NEW, NONE, NONE, 3},
        {"checksum with a line end", NEW, LINE_END, NONE, NONE, 3},
        {"killed before the first rename", OLD, OLD, NEW, NEW, 2},
        {"killed between the renames", NEW, OLD, NONE, NEW, 3},
        {"power loss kept only the second rename", OLD, NEW, NEW, NONE, 3},
        {"new checksum cut short", OLD, OLD, NEW, CUT, 2},
        {"checksum missing", NEW, NONE, NONE, NONE, 0},
        {"checksum in upper case", NEW, UPPER, NONE, NONE, 0},
        {"checksum wrong", NEW, WRONG, NONE, NONE, 0},
        {"checksum cut short", NEW, CUT, NONE, NONE, 0},
        {"index cut inside a record", CUT, NEW, NONE, NONE, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(mManager.clearCache());
        TQVVector<CStorageManager::CacheEntry> list;
        for (UInt8 key = 1; key <= 3; ++key) list.push_back(makeEntry(key, key, 100));
        commitRecords(mManager, list);
        const std::string newDb = readFile(cacheDb()), newSum = readFile(cacheChecksum());
        list.erase(2);
        ASSERT_TRUE(mManager.writeCache(list));
        const std::string oldDb = readFile(cacheDb()), oldSum = readFile(cacheChecksum());
        // The content of one of the four files, by its kind.
        auto content = [](File file, const std::string& newer, const std::string& older) {
            std::string upper = newer;
            for (char& c : upper) c = static_cast<char>(toupper(c));
            return file == OLD ? older
                   : file == NEW ? newer
                   : file == CUT ? newer.substr(0, newer.size() / 2 + 5)
                   : file == WRONG ? std::string(32, '0')
                   : file == UPPER ? upper
                   : newer + "\n";
        };
        const struct {
            File file;
            std::string path, newer, older;
        } files[] = {{row.db, cacheDb(), newDb, oldDb},
                     {row.sum, cacheChecksum(), newSum, oldSum},
                     {row.newDb, cacheDb() + ".new", newDb, oldDb},
                     {row.newSum, cacheChecksum() + ".new", newSum, oldSum}};
        for (const auto& file : files) {
            ::unlink(file.path.c_str());
            if (file.file != NONE) {
                ASSERT_TRUE(writeFile(file.path, content(file.file, file.newer, file.older)));
            }
        }
        EXPECT_EQ(static_cast<size_t>(row.kept), keysRead().size());
        EXPECT_EQ(row.kept > 0, exists(cachedDir(makeEntry(1, 1, 1)) + "/index.html"));
        EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
        if (row.kept > 0) {
            EXPECT_EQ(md5Hex(readFile(cacheDb())), readFile(cacheChecksum()).substr(0, 32));
        }
    }
}

TEST_F(StorageIndex, RecordsWithBadEntryPagesAreDroppedAndEmptyPagesNeverServed) {
    const char* bad[] = {"../../../etc/passwd", "a/index.html", "..", "", "x..y",
                         "no-terminator-fills-all-36-bytes-xxxx"};
    std::string db = recordBytes(1, 1, 100, "index.html");
    for (size_t i = 0; i < sizeof(bad) / sizeof(bad[0]); ++i) db += recordBytes(static_cast<UInt8>(2 + i), 1, 100, bad[i]);
    ASSERT_TRUE(writeFile(cacheDb(), db));
    ASSERT_TRUE(writeFile(cacheChecksum(), md5Hex(db)));
    for (UInt8 key = 1; key < 8; ++key) {
        ASSERT_TRUE(makeCachedDir(makeEntry(key, 1, 1)));
    }
    LogCapture capture;
    EXPECT_EQ(std::vector<std::string>{hexOf(makeEntry(1, 1, 1).md5)}, keysRead());
    EXPECT_EQ(6u, capture.count("bad entry page name", 1));
    CQVString path;
    EXPECT_FALSE(mManager.findDocumentInCache(makeEntry(2, 1, 1).md5, path));
    // A page that a power loss left empty is never served either.
    ASSERT_TRUE(writeFile(cachedDir(makeEntry(1, 1, 1)) + "/index.html", ""));
    EXPECT_FALSE(mManager.findDocumentInCache(makeEntry(1, 1, 1).md5, path));
}

// The eviction pass on what kills leave in the cache directory: the budget
// (100 MiB) holds the two live 40 MB records only when the vanished one's
// bytes are not counted, and only directories with a record survive.
TEST_F(StorageIndex, EvictionPassCountsWhatIsGoneAndCollectsOrphans) {
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(1, 100, 40000000));  // oldest; directory gone
    list.push_back(makeEntry(2, 200, 40000000));
    list.push_back(makeEntry(3, 300, 40000000));
    commitRecords(mManager, list);
    removeTree(cachedDir(list[0]));
    CStorageManager::CacheEntry orphan = makeEntry(9, 1, 1);
    ASSERT_TRUE(makeCachedDir(orphan));  // moved in, killed before its record

    EXPECT_TRUE(mManager.squeezeCache(20000000));
    EXPECT_TRUE(exists(cachedDir(list[1]) + "/index.html"));
    EXPECT_TRUE(exists(cachedDir(list[2]) + "/index.html"));
    EXPECT_FALSE(exists(cachedDir(orphan)));
    EXPECT_EQ(2u, keysRead().size());
}

}  // namespace
