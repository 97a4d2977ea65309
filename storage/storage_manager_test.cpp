// Start-up of the storage (directories, version check, the working area
// after boot), directory sizes, and the ready marker of the shared mutex
// block: how long an opener waits for another process to construct it.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>


#include "log/logger.h"
#include "storage/storage_lock.h"
#include "storage/storage_manager_test_util.h"
#include "storage/working_file.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

typedef StorageTest StorageInit;

TEST_F(StorageInit, VersionFileDecidesWhetherTheCacheIsKept) {
    struct Row {
        const char* name;
        const char* version;  // null: no version file
        bool kept;
        const char* log;
        int level;
    } rows[] = {
        {"no version file", nullptr, false, "can't open /version file: No such file or directory", 1},
        {"same version", "$Change: 273562 $", true, "Current cache version:$Change: 273562 $", 0},
        {"with a line end", "$Change: 273562 $\n", false, "Plugin version doesn't equals to the cache version", 1},
        {"other version", "$Change: 100000 $", false, "Plugin version doesn't equals to the cache version", 1},
        {"empty", "", false, "Can't read from /version file", 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        removeTree(convertedDir());
        ASSERT_EQ(0, ::mkdir(convertedDir().c_str(), 0777));
        if (row.version != nullptr) {
            ASSERT_TRUE(writeFile(versionFile(), row.version));
        }
        CStorageManager::CacheEntry entry = makeEntry(1, 1, 10);
        ASSERT_TRUE(makeCachedDir(entry));
        LogCapture capture;
        CStorageManager manager;
        ASSERT_TRUE(manager.init());
        EXPECT_EQ(row.kept, exists(cachedDir(entry)));
        EXPECT_EQ(1u, capture.count(row.log, row.level));
        EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
    }
}

TEST_F(StorageInit, OnlyTheFirstStartAfterBootEmptiesTheWorkingArea) {
    ASSERT_EQ(0, ::mkdir(filesDir().c_str(), 0777));
    ASSERT_TRUE(writeFile(filesDir() + "leftover.doc", "old"));
    ASSERT_EQ(0, ::mkdir((filesDir() + "stray").c_str(), 0777));
    // Claimed by a process that mapped the lock object before the wipe.
    const int claimed = NWorkingFile::createClaimed((filesDir() + "claimed.doc").c_str());
    ASSERT_GE(claimed, 0);
    CStorageManager first;
    ASSERT_TRUE(first.init());
    EXPECT_EQ(std::vector<std::string>{"claimed.doc"}, listDirectory(filesDir()));
    ::close(claimed);
    // Another instance must not delete what the first one is receiving.
    ASSERT_TRUE(writeFile(filesDir() + "receiving.doc", "new"));
    CStorageManager second;
    ASSERT_TRUE(second.init());
    EXPECT_EQ("new", readFile(filesDir() + "receiving.doc"));
}

TEST_F(StorageInit, DirectoryThatCannotBeMadeFailsAndFreesTheLock) {
    ASSERT_TRUE(writeFile(dataDir() + "converted", "a file"));
    LogCapture capture;
    CStorageManager manager;
    EXPECT_FALSE(manager.init());
    EXPECT_TRUE(capture.contains("Can't create " + convertedDir() + " directory: Not a directory", 2));
}

TEST(StorageDirectorySize, SumsRegularFilesAtEveryDepth) {
    TempDir root;
    EXPECT_EQ(0u, CStorageManager::getDirectorySize((root / "missing").c_str()));
    ASSERT_TRUE(writeFile(root / "a", std::string(100, 'a')));
    ASSERT_EQ(0, ::mkdir((root / "sub").c_str(), 0777));
    ASSERT_EQ(0, ::mkdir((root / "sub/deeper").c_str(), 0777));
    ASSERT_TRUE(writeFile(root / "sub/deeper/c", std::string(23, 'c')));
    // Neither a link (even to a large file) nor a fifo counts.
    ASSERT_EQ(0, ::symlink("/proc/self/exe", (root / "link").c_str()));
    ASSERT_EQ(0, ::mkfifo((root / "fifo").c_str(), 0600));
    EXPECT_EQ(123u, CStorageManager::getDirectorySize(root.path().c_str()));
}

// A zero-filled block shared with forked children, like a new object.
struct SharedBlock {
    SharedBlock()
        : address(::mmap(nullptr, CStorageLockBlock::size(), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0)) {}
    ~SharedBlock() { ::munmap(address, CStorageLockBlock::size()); }
    CStorageLockBlock* block() const { return static_cast<CStorageLockBlock*>(address); }
    void* address;
};

// A live constructor is waited for as long as asked; a dead one is replaced
// at once.
TEST(StorageLockBlock, ConstructorIsWaitedForWhileItLives) {
    SharedBlock shared;
    ASSERT_NE(MAP_FAILED, shared.address);
    pid_t constructor = ::fork();
    if (constructor == 0) ::pause();
    shared.block()->state.store(static_cast<UInt32>(constructor));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(nullptr, CStorageLockBlock::prepare(shared.address, 200));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    ::kill(constructor, SIGKILL);
    ::waitpid(constructor, nullptr, 0);
    EXPECT_EQ(shared.address, static_cast<void*>(CStorageLockBlock::prepare(shared.address, 5000)));
    EXPECT_EQ(CStorageLockBlock::READY, shared.block()->state.load());
}

}  // namespace
