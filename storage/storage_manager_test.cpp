#include "storage/storage_manager.h"

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <sys/wait.h>

#include "log/logger.h"
#include "storage/storage_lock.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;


typedef StorageTest StorageManagerInit;

TEST_F(StorageManagerInit, CreatesDirectoriesAndWritesTheVersionFile) {
    LogCapture capture;
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    EXPECT_EQ(filesDir(), manager.getFilesDir().c_str());
    EXPECT_EQ(convertedDir(), manager.getConvertedDir().c_str());

    struct stat st;
    ASSERT_EQ(0, ::stat(filesDir().c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    ASSERT_EQ(0, ::stat(convertedDir().c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
    EXPECT_EQ(1u, capture.count("can't open /version file: No such file or directory",
                                LogMessage::WARNING));
    EXPECT_TRUE(capture.texts(LogMessage::ERROR).empty());
    EXPECT_TRUE(lockIsFreeForOthers());
}

TEST_F(StorageManagerInit, SecondStartFindsTheVersionEqualAndChangesNothing) {
    {
        CStorageManager first;
        ASSERT_TRUE(first.init());
    }
    CStorageManager::CacheEntry entry = makeEntry(1, 1, 10);
    ASSERT_TRUE(makeCachedDir(entry));

    LogCapture capture;
    CStorageManager second;
    ASSERT_TRUE(second.init());
    EXPECT_TRUE(capture.contains("Current cache version:$Change: 273562 $", LogMessage::MESSAGE));
    EXPECT_TRUE(capture.texts(LogMessage::WARNING).empty());
    EXPECT_TRUE(exists(cachedDir(entry) + "/index.html"));
}

TEST_F(StorageManagerInit, FirstStartAfterBootEmptiesTheWorkingAreaASecondDoesNot) {
    ASSERT_EQ(0, ::mkdir(filesDir().c_str(), 0777));
    ASSERT_TRUE(writeFile(filesDir() + "leftover.doc", "old"));
    ASSERT_EQ(0, ::mkdir((filesDir() + "leftover.doc_files").c_str(), 0777));

    CStorageManager first;
    ASSERT_TRUE(first.init());
    EXPECT_FALSE(exists(filesDir() + "leftover.doc"));
    EXPECT_FALSE(exists(filesDir() + "leftover.doc_files"));
    EXPECT_TRUE(exists(filesDir()));

    // Another instance (here and in another process) must not delete what
    // the first one is receiving.
    ASSERT_TRUE(writeFile(filesDir() + "receiving.doc", "new"));
    CStorageManager second;
    ASSERT_TRUE(second.init());
    pid_t child = ::fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        CStorageManager third;
        ::_exit(third.init() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ("new", readFile(filesDir() + "receiving.doc"));
}

TEST_F(StorageManagerInit, VersionWithLineEndClearsTheCacheAndIsRewrittenWithout) {
    ASSERT_EQ(0, ::mkdir(convertedDir().c_str(), 0777));
    ASSERT_TRUE(writeFile(versionFile(), "$Change: 273562 $\n"));
    CStorageManager::CacheEntry entry = makeEntry(2, 1, 10);
    ASSERT_TRUE(makeCachedDir(entry));

    LogCapture capture;
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    EXPECT_EQ(1u, capture.count("Plugin version doesn't equals to the cache version",
                                LogMessage::WARNING));
    EXPECT_FALSE(exists(cachedDir(entry)));
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
}

TEST_F(StorageManagerInit, OtherVersionClearsTheCache) {
    ASSERT_EQ(0, ::mkdir(convertedDir().c_str(), 0777));
    ASSERT_TRUE(writeFile(versionFile(), "$Change: 100000 $"));
    ASSERT_TRUE(writeFile(cacheDb(), std::string(64, 'r')));

    LogCapture capture;
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    EXPECT_TRUE(capture.contains("Current cache version:$Change: 100000 $", LogMessage::MESSAGE));
    EXPECT_FALSE(exists(cacheDb()));
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
}

TEST_F(StorageManagerInit, EmptyVersionFileIsAReadErrorAndClearsTheCache) {
    ASSERT_EQ(0, ::mkdir(convertedDir().c_str(), 0777));
    ASSERT_TRUE(writeFile(versionFile(), ""));
    CStorageManager::CacheEntry entry = makeEntry(3, 1, 10);
    ASSERT_TRUE(makeCachedDir(entry));

    LogCapture capture;
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    EXPECT_EQ(1u, capture.count("Can't read from /version file", LogMessage::ERROR));
    EXPECT_FALSE(exists(cachedDir(entry)));
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
}

TEST_F(StorageManagerInit, DataDirectoryThatCannotBeCreatedFailsAndReleasesTheLock) {
    // A regular file where the data directory should be.
    ::rmdir(dataDir().c_str());
    std::string dataPath = dataDir().substr(0, dataDir().size() - 1);
    ASSERT_TRUE(writeFile(dataPath, "not a directory"));

    LogCapture capture;
    CStorageManager manager;
    EXPECT_FALSE(manager.init());
    EXPECT_TRUE(capture.contains("Can't create " + filesDir() + " directory: Not a directory",
                                 LogMessage::ERROR));
    EXPECT_TRUE(lockIsFreeForOthers());
    ::unlink(dataPath.c_str());
}

TEST_F(StorageManagerInit, ConvertedPathTakenByAFileFails) {
    ASSERT_TRUE(writeFile(dataDir() + "converted", "a file"));
    LogCapture capture;
    CStorageManager manager;
    EXPECT_FALSE(manager.init());
    EXPECT_TRUE(capture.contains("Can't create " + convertedDir() + " directory: Not a directory",
                                 LogMessage::ERROR));
    EXPECT_TRUE(lockIsFreeForOthers());
}

TEST_F(StorageManagerInit, InitAgainAfterCleanupWorks) {
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    manager.cleanup();
    ASSERT_TRUE(manager.init());
    manager.lockCache();
    manager.unlockCache();
    EXPECT_TRUE(lockIsFreeForOthers());
}

TEST_F(StorageManagerInit, LockingWithoutInitLogsAndDoesNothing) {
    LogCapture capture;
    CStorageManager manager;
    manager.lockCache();
    manager.unlockCache();
    EXPECT_EQ(2u, capture.count("mCacheMutex == 0", LogMessage::ERROR));
    EXPECT_FALSE(manager.clearCache());

    ASSERT_TRUE(manager.init());
    manager.cleanup();
    capture.clear();
    manager.lockCache();
    EXPECT_EQ(1u, capture.count("mCacheMutex == 0", LogMessage::ERROR));
}

typedef StorageTest StorageManagerLock;

TEST_F(StorageManagerLock, IsRecursiveAndFreeOnceEveryLockIsMatched) {
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    manager.lockCache();
    manager.lockCache();
    EXPECT_FALSE(lockIsFreeForOthers());
    manager.unlockCache();
    EXPECT_FALSE(lockIsFreeForOthers());
    manager.unlockCache();
    EXPECT_TRUE(lockIsFreeForOthers());
}

TEST_F(StorageManagerLock, ExcludesAnotherManagerOnAnotherThread) {
    CStorageManager first;
    CStorageManager second;
    ASSERT_TRUE(first.init());
    ASSERT_TRUE(second.init());
    first.lockCache();
    std::atomic<bool> entered(false);
    std::thread other([&] {
        second.lockCache();
        entered = true;
        second.unlockCache();
    });
    ::usleep(100000);
    EXPECT_FALSE(entered.load());
    first.unlockCache();
    other.join();
    EXPECT_TRUE(entered.load());
}

typedef StorageTest StorageManagerClear;

TEST_F(StorageManagerClear, RemovesEverythingAndRewritesTheVersion) {
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    CStorageManager::CacheEntry entry = makeEntry(4, 1, 10);
    ASSERT_TRUE(makeCachedDir(entry));
    ASSERT_TRUE(writeFile(cacheDb(), ""));
    ASSERT_TRUE(writeFile(cacheChecksum(), md5Hex("")));

    EXPECT_TRUE(manager.clearCache());
    EXPECT_FALSE(exists(cachedDir(entry)));
    EXPECT_FALSE(exists(cacheDb()));
    EXPECT_FALSE(exists(cacheChecksum()));
    // The next start must not clear the cache once more.
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
}

TEST_F(StorageManagerClear, MissingCacheDirectoryIsRecreated) {
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    removeTree(convertedDir());
    LogCapture capture;
    EXPECT_TRUE(manager.clearCache());
    EXPECT_TRUE(capture.texts(LogMessage::ERROR).empty());
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
}

TEST_F(StorageManagerClear, UnremovableContentFailsAndKeepsAVersionFile) {
    ASSERT_EQ(0, ::mkdir(convertedDir().c_str(), 0777));
    CStorageManager::CacheEntry entry = makeEntry(5, 1, 10);
    ASSERT_TRUE(makeCachedDir(entry));
    Unremovable pinned(cachedDir(entry) + "/index.html");
    if (!pinned.ok()) {
        GTEST_SKIP() << "cannot make a file unremovable here";
    }
    LogCapture capture;
    CStorageManager manager;
    // No version file: init clears, which fails, and still writes the
    // version so that the next start does not try again.
    ASSERT_TRUE(manager.init());
    EXPECT_EQ(1u, capture.count("Can't remove /converted: ", LogMessage::ERROR));
    EXPECT_TRUE(exists(cachedDir(entry) + "/index.html"));
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));

    capture.clear();
    EXPECT_FALSE(manager.clearCache());
    EXPECT_EQ(1u, capture.count("Can't remove /converted: ", LogMessage::ERROR));
}

typedef StorageTest StorageManagerDirectorySize;

TEST_F(StorageManagerDirectorySize, SumsRegularFilesAtEveryDepth) {
    std::string root = dataDir() + "tree";
    ASSERT_EQ(0, ::mkdir(root.c_str(), 0777));
    EXPECT_EQ(0u, CStorageManager::getDirectorySize(root.c_str()));

    ASSERT_TRUE(writeFile(root + "/a", std::string(100, 'a')));
    ASSERT_EQ(0, ::mkdir((root + "/sub").c_str(), 0777));
    ASSERT_TRUE(writeFile(root + "/sub/b", std::string(20, 'b')));
    ASSERT_EQ(0, ::mkdir((root + "/sub/deeper").c_str(), 0777));
    ASSERT_TRUE(writeFile(root + "/sub/deeper/c", std::string(3, 'c')));
    ASSERT_TRUE(writeFile(root + "/empty", ""));
    // Neither a link (even to a large file) nor a fifo counts.
    ASSERT_TRUE(writeFile(dataDir() + "outside", std::string(5000, 'o')));
    ASSERT_EQ(0, ::symlink((dataDir() + "outside").c_str(), (root + "/link").c_str()));
    ASSERT_EQ(0, ::mkfifo((root + "/fifo").c_str(), 0600));

    EXPECT_EQ(123u, CStorageManager::getDirectorySize(root.c_str()));
    // A trailing "/" only doubles the separator.
    EXPECT_EQ(123u, CStorageManager::getDirectorySize((root + "/").c_str()));
}

TEST_F(StorageManagerDirectorySize, MissingDirectoryIsZero) {
    EXPECT_EQ(0u, CStorageManager::getDirectorySize((dataDir() + "missing").c_str()));
    ASSERT_TRUE(writeFile(dataDir() + "file", "12345"));
    EXPECT_EQ(0u, CStorageManager::getDirectorySize((dataDir() + "file").c_str()));
}
