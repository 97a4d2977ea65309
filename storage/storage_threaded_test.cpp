// Several threads and processes on one storage directory, a lock holder
// that is killed, and the ready marker of the shared mutex block.

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "log/logger.h"
#include "platform/qv_directory_iterator.h"
#include "platform/qv_file_operations.h"
#include "storage/storage_lock.h"
#include "storage/storage_manager.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

const int kDocumentPool = 24;
// About 9 MiB recorded per document: the 100 MiB budget holds 11 of them.
const UInt32 kDocumentSize = 9u * 1024u * 1024u;

UInt64 nowNs() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<UInt64>(ts.tv_sec) * 1000000000ull + static_cast<UInt64>(ts.tv_nsec);
}

CStorageManager::CacheEntry documentEntry(int k) {
    CStorageManager::CacheEntry entry;
    std::string bytes = "document " + std::to_string(k);
    CHashMD5 hash;
    hash.md5_update(reinterpret_cast<const unsigned char*>(bytes.data()),
                    static_cast<unsigned>(bytes.size()));
    hash.md5_finish(entry.md5);
    entry.size = kDocumentSize + static_cast<UInt32>(k) * 1000u;
    entry.setEntryPoint("index.html");
    return entry;
}

// One document through the cache as the plug-in does it: a space check for
// the received bytes without the lock, then under one hold of the lock a
// lookup and, on a miss, eviction, the move into the cache and the record.
// False when the cache was seen inconsistent (a record without its page).
bool processDocument(const CStorageManager& manager, int k, unsigned* seed) {
    manager.squeezeCache(static_cast<UInt32>(rand_r(seed) % (4 * 1024 * 1024)) * 3u);

    CStorageManager::CacheEntry wanted = documentEntry(k);
    std::string dir = std::string(manager.getConvertedDir().c_str()) +
                      CStorageManager::md5ToString(wanted.md5).c_str();
    bool consistent = true;
    manager.lockCache();
    TQVVector<CStorageManager::CacheEntry> list;
    manager.readCache(list);
    int found = -1;
    for (int i = 0; i < list.size() && found < 0; ++i) {
        if (std::memcmp(list[i].md5, wanted.md5, 16) == 0) {
            found = i;
        }
    }
    if (found >= 0) {
        consistent = exists(dir + "/index.html");
        list[found].time = nowNs();
        manager.writeCache(list);
    } else {
        manager.squeezeCache(wanted.size);
        consistent = !exists(dir);
        ::mkdir(dir.c_str(), 0777);
        writeFile(dir + "/index.html", "<html>" + std::to_string(k) + "</html>");
        TQVVector<CStorageManager::CacheEntry> fresh;
        manager.readCache(fresh);
        wanted.time = nowNs();
        fresh.push_back(wanted);
        manager.writeCache(fresh);
    }
    manager.unlockCache();
    return consistent;
}

// What every reader must find after the writers have finished.
void expectConsistentCache() {
    LogCapture capture;
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    TQVVector<CStorageManager::CacheEntry> list;
    ASSERT_TRUE(manager.readCache(list));
    EXPECT_TRUE(capture.contains("Checksum of the cache.db is valid", LogMessage::MESSAGE));
    EXPECT_TRUE(capture.texts(LogMessage::ERROR).empty());
    ASSERT_GT(list.size(), 0);

    std::set<std::string> digests;
    UInt64 total = 0;
    for (int i = 0; i < list.size(); ++i) {
        std::string hex = CStorageManager::md5ToString(list[i].md5).c_str();
        EXPECT_TRUE(digests.insert(hex).second) << "digest twice: " << hex;
        EXPECT_TRUE(exists(convertedDir() + hex + "/index.html")) << hex;
        total += list[i].size;
    }
    EXPECT_LE(total, CStorageManager::sStorageSize);

    // No cached directory without its record either.
    for (CQVDirectoryIterator it(convertedDir().c_str()), end; it != end; ++it) {
        std::string name = it->c_str();
        if (name.size() == 32) {
            EXPECT_EQ(1u, digests.count(name)) << "orphan directory " << name;
        }
    }
}

// Waits for every child up to the deadline; kills the rest. Returns the
// number that exited with status 0.
int reapChildren(const std::vector<pid_t>& children, int seconds) {
    int succeeded = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::vector<pid_t> left = children;
    while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
        for (size_t i = 0; i < left.size();) {
            int status = 0;
            pid_t done = ::waitpid(left[i], &status, WNOHANG);
            if (done == left[i]) {
                if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                    ++succeeded;
                }
                left.erase(left.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
        ::usleep(10000);
    }
    for (pid_t pid : left) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return succeeded;
}

}  // namespace

typedef StorageTest StorageProcesses;

TEST_F(StorageProcesses, FourProcessesAddFindAndSqueezeOneCache) {
    const int kProcesses = 4;
    const int kDocuments = 50;
    {
        CStorageManager first;
        ASSERT_TRUE(first.init());
    }
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t child = ::fork();
        ASSERT_NE(-1, child);
        if (child == 0) {
            CStorageManager manager;
            if (!manager.init()) {
                ::_exit(1);
            }
            unsigned seed = static_cast<unsigned>(::getpid());
            bool consistent = true;
            for (int d = 0; d < kDocuments; ++d) {
                consistent = processDocument(manager, rand_r(&seed) % kDocumentPool, &seed) &&
                             consistent;
            }
            ::_exit(consistent ? 0 : 2);
        }
        children.push_back(child);
    }
    EXPECT_EQ(kProcesses, reapChildren(children, 90));
    expectConsistentCache();
}

typedef StorageTest StorageThreads;

TEST_F(StorageThreads, ManagersOnSeveralThreadsShareOneCache) {
    // Two instances, each used by its plug-in thread and its worker.
    CStorageManager first;
    CStorageManager second;
    ASSERT_TRUE(first.init());
    ASSERT_TRUE(second.init());
    std::atomic<int> inconsistent(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        const CStorageManager& manager = (t % 2 == 0) ? first : second;
        threads.emplace_back([&manager, &inconsistent, t] {
            unsigned seed = static_cast<unsigned>(t + 1);
            for (int d = 0; d < 25; ++d) {
                if (!processDocument(manager, rand_r(&seed) % kDocumentPool, &seed)) {
                    ++inconsistent;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(0, inconsistent.load());
    expectConsistentCache();
}

typedef StorageTest StorageLockRecovery;

namespace {

// Forks a child that inits a manager, takes the lock, runs then() and waits
// to be killed. Returns the child's pid once it holds the lock, or -1.
template <typename Then>
pid_t childHoldingTheLock(Then then) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return -1;
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        CStorageManager manager;
        if (!manager.init()) {
            ::_exit(1);
        }
        manager.lockCache();
        then();
        char byte = 'L';
        if (::write(ready[1], &byte, 1) != 1) {
            ::_exit(1);
        }
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char byte = 0;
    ssize_t got = child > 0 ? ::read(ready[0], &byte, 1) : -1;
    ::close(ready[0]);
    if (got != 1) {
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        return -1;
    }
    return child;
}

}  // namespace

TEST_F(StorageLockRecovery, KilledHolderIsRecoveredAtOnceWithAWarning) {
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    pid_t child = childHoldingTheLock([] {});
    ASSERT_GT(child, 0);
    EXPECT_FALSE(lockIsFreeForOthers());
    ASSERT_EQ(0, ::kill(child, SIGKILL));
    ASSERT_EQ(child, ::waitpid(child, nullptr, 0));

    LogCapture capture;
    ::alarm(10);  // a hang fails the test instead of blocking the run
    manager.lockCache();
    ::alarm(0);
    EXPECT_EQ(1u, capture.count("a process died holding the storage lock", LogMessage::WARNING));
    manager.unlockCache();
    EXPECT_TRUE(lockIsFreeForOthers());

    // Recovered once: the next lock is an ordinary one.
    capture.clear();
    manager.lockCache();
    manager.unlockCache();
    EXPECT_TRUE(capture.texts(LogMessage::WARNING).empty());
}

TEST_F(StorageLockRecovery, HolderKilledInsideClearCacheLeavesAUsableCache) {
    CStorageManager manager;
    ASSERT_TRUE(manager.init());
    TQVVector<CStorageManager::CacheEntry> list;
    list.push_back(makeEntry(1, 1, 100));
    ASSERT_TRUE(manager.writeCache(list));

    // Killed between removing the cache directory and making it again.
    pid_t child = childHoldingTheLock([] { removeTree(convertedDir()); });
    ASSERT_GT(child, 0);
    ASSERT_EQ(0, ::kill(child, SIGKILL));
    ASSERT_EQ(child, ::waitpid(child, nullptr, 0));
    ASSERT_FALSE(exists(convertedDir()));

    LogCapture capture;
    ::alarm(10);
    manager.lockCache();
    ::alarm(0);
    EXPECT_EQ(1u, capture.count("a process died holding the storage lock", LogMessage::WARNING));
    EXPECT_EQ("$Change: 273562 $", readFile(versionFile()));
    EXPECT_TRUE(manager.writeCache(list));
    manager.unlockCache();

    TQVVector<CStorageManager::CacheEntry> back;
    EXPECT_TRUE(manager.readCache(back));
    EXPECT_EQ(1, back.size());
}

namespace {

// A zero-filled block shared with forked children, like a new object.
class SharedBlock {
public:
    SharedBlock()
        : mAddress(::mmap(nullptr, CStorageLockBlock::size(), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0)) {}
    ~SharedBlock() {
        if (mAddress != MAP_FAILED) {
            ::munmap(mAddress, CStorageLockBlock::size());
        }
    }
    bool ok() const { return mAddress != MAP_FAILED; }
    void* address() const { return mAddress; }
    CStorageLockBlock* block() const { return static_cast<CStorageLockBlock*>(mAddress); }

private:
    void* mAddress;
};

pid_t sleepingChild() {
    pid_t child = ::fork();
    if (child == 0) {
        for (;;) {
            ::pause();
        }
    }
    return child;
}

}  // namespace

TEST(StorageLockBlock, ConcurrentPreparersShareOneMutex) {
    SharedBlock shared;
    ASSERT_TRUE(shared.ok());
    std::vector<CQVMutex*> results(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] { results[i] = CStorageLockBlock::prepare(shared.address(), 5000); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (CQVMutex* mutex : results) {
        EXPECT_EQ(shared.address(), static_cast<void*>(mutex));
    }
    EXPECT_EQ(CStorageLockBlock::READY, shared.block()->state.load());
    ASSERT_NE(nullptr, results[0]);
    EXPECT_TRUE(results[0]->lock());
    EXPECT_TRUE(results[0]->lock());  // recursive
    EXPECT_TRUE(results[0]->unlock());
    EXPECT_TRUE(results[0]->unlock());
}

TEST(StorageLockBlock, OpenerWaitsWhileTheConstructorIsAlive) {
    SharedBlock shared;
    ASSERT_TRUE(shared.ok());
    pid_t constructor = sleepingChild();
    ASSERT_GT(constructor, 0);
    shared.block()->state.store(static_cast<UInt32>(constructor));

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(nullptr, CStorageLockBlock::prepare(shared.address(), 200));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_EQ(static_cast<UInt32>(constructor), shared.block()->state.load());

    // The constructor finishes while the opener waits.
    std::thread finisher([&] {
        ::usleep(100000);
        new (&shared.block()->mutex) CQVMutex(true, 0);
        shared.block()->state.store(CStorageLockBlock::READY, std::memory_order_release);
    });
    CQVMutex* mutex = CStorageLockBlock::prepare(shared.address(), 5000);
    finisher.join();
    EXPECT_EQ(shared.address(), static_cast<void*>(mutex));
    ::kill(constructor, SIGKILL);
    ::waitpid(constructor, nullptr, 0);
}

TEST(StorageLockBlock, DeadConstructorIsReplaced) {
    SharedBlock shared;
    ASSERT_TRUE(shared.ok());
    pid_t constructor = ::fork();
    ASSERT_NE(-1, constructor);
    if (constructor == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(constructor, ::waitpid(constructor, nullptr, 0));
    shared.block()->state.store(static_cast<UInt32>(constructor));

    // Waiting out the 5 s would end with null, as for a live constructor.
    CQVMutex* mutex = CStorageLockBlock::prepare(shared.address(), 5000);
    ASSERT_EQ(shared.address(), static_cast<void*>(mutex));
    EXPECT_EQ(CStorageLockBlock::READY, shared.block()->state.load());
    EXPECT_TRUE(mutex->lock());
    EXPECT_TRUE(mutex->unlock());
}

TEST_F(StorageProcesses, SimultaneousFirstStartsAllSucceed) {
    std::vector<pid_t> children;
    for (int p = 0; p < 4; ++p) {
        pid_t child = ::fork();
        ASSERT_NE(-1, child);
        if (child == 0) {
            CStorageManager manager;
            bool ok = manager.init();
            manager.lockCache();
            manager.unlockCache();
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    EXPECT_EQ(4, reapChildren(children, 30));
    EXPECT_TRUE(lockIsFreeForOthers());
}
