// The storage lock: a recursive, robust, process-shared mutex in a named
// shared-memory block, between threads and processes, and after its owner
// dies; and the block's own life.
#include "platform/qv_mutex.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "platform/qv_shmem.h"

namespace {

struct Shared {
    CQVMutex mutex;
    volatile long counter = 0;
};

int exitCode(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Adds 1 to the counter `times` times under the lock, yielding inside it now
// and then to widen the window a missing lock would show.
bool add(Shared* shared, int times) {
    for (int i = 0; i < times; ++i) {
        if (shared->mutex.lockEx() != CQVMutex::LOCKED) return false;
        long value = shared->counter;
        if (i % 64 == 0) sched_yield();
        shared->counter = value + 1;
        shared->mutex.unlock();
    }
    return true;
}

// The block "lock" under a QV_SHM_PREFIX of its own (runs never meet each
// other or the real object), given the device's 8 bytes: rounded up to
// pages, it holds the host's larger mutex too.
class StorageLock : public ::testing::Test {
protected:
    static std::string uniquePrefix() {
        static int sequence = 0;
        std::string prefix = "rrztest_" + std::to_string(::getpid()) + "_" + std::to_string(++sequence) + "_";
        ::setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
        return prefix;
    }
    void SetUp() override {
        ASSERT_EQ(CQVShMem::CREATED, block.create(false));
        ASSERT_TRUE(block.map(CQVShMem::MAP_READ_WRITE));
        shared = new (block.address()) Shared;
        ASSERT_TRUE(shared->mutex.isValid());
    }
    void TearDown() override { CQVShMem::remove("lock"); }

    std::string prefix = uniquePrefix();  // before the block reads it
    CQVShMem block{"lock", 8};
    Shared* shared = nullptr;
};

TEST_F(StorageLock, BlockIsCreatedOnceAndOutlivesItsUsersUntilRemoved) {
    EXPECT_STREQ(("/" + prefix + "lock").c_str(), block.name().c_str());
    std::strcpy(reinterpret_cast<char*>(shared + 1), "kept");
    block.unmap();
    CQVShMem second("/lock", 8);
    ASSERT_EQ(CQVShMem::EXISTED, second.create(false));
    ASSERT_TRUE(second.map(CQVShMem::MAP_READ_WRITE));
    EXPECT_STREQ("kept", reinterpret_cast<char*>(static_cast<Shared*>(second.address()) + 1));
    errno = 0;
    EXPECT_EQ(CQVShMem::FAILED, CQVShMem("lock", 8).create(true));
    EXPECT_EQ(EEXIST, errno);
    EXPECT_TRUE(CQVShMem::remove("lock"));
    errno = 0;
    EXPECT_FALSE(CQVShMem::remove("lock"));
    EXPECT_EQ(ENOENT, errno);
    // An opener that comes while the creator is between shm_open and ftruncate.
    int fd = ::shm_open(("/" + prefix + "lock").c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    CQVShMem opener("lock", 64);
    ASSERT_EQ(CQVShMem::EXISTED, opener.create(false));
    ASSERT_TRUE(opener.map(CQVShMem::MAP_READ_WRITE));
    std::memset(opener.address(), 0x11, 64);  // SIGBUS here if left unsized
    ASSERT_EQ(0, ::ftruncate(fd, 64));        // the late creator: content kept
    ::close(fd);
    EXPECT_EQ(0x11, static_cast<unsigned char*>(opener.address())[63]);
    ::unsetenv("QV_SHM_PREFIX");  // the real object's name, the same in every browser process
    EXPECT_STREQ("/officeplugin_storage_mutex", CQVShMem("officeplugin_storage_mutex", 8).name().c_str());
    ::setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
}

TEST_F(StorageLock, IsRecursiveAndExcludesThreadsAndProcessesThatOpenItByName) {
    // Other processes may lock it as the POSIX mutex at the object's address.
    pthread_mutex_t* posix = reinterpret_cast<pthread_mutex_t*>(&shared->mutex);
    auto freeForOthers = [posix] {
        int rc = -1;
        std::thread([&] { rc = ::pthread_mutex_trylock(posix) == 0 ? ::pthread_mutex_unlock(posix) : EBUSY; }).join();
        return rc == 0;
    };
    ASSERT_EQ(CQVMutex::LOCKED, shared->mutex.lockEx());
    ASSERT_EQ(CQVMutex::LOCKED, shared->mutex.lockEx());
    EXPECT_TRUE(shared->mutex.unlock());
    EXPECT_FALSE(freeForOthers()) << "held once more";
    EXPECT_TRUE(shared->mutex.unlock());
    EXPECT_TRUE(freeForOthers());
    const int kTimes = 20000;
    pid_t child = ::fork();  // before the thread starts: forking a threaded process upsets TSan
    if (child == 0) {
        CQVShMem mine("lock", 8);  // as another browser process would
        bool opened = mine.create(false) == CQVShMem::EXISTED && mine.map(CQVShMem::MAP_READ_WRITE);
        _exit(opened && add(static_cast<Shared*>(mine.address()), kTimes) ? 0 : 1);
    }
    std::thread thread([&] { EXPECT_TRUE(add(shared, kTimes)); });
    EXPECT_TRUE(add(shared, kTimes));  // TSan reports a race here if threads are not excluded
    thread.join();
    EXPECT_EQ(0, exitCode(child));
    EXPECT_EQ(3 * kTimes, shared->counter);
}

TEST_F(StorageLock, OwnerKilledWhileHoldingIsReportedToTheWaiterAndTheMutexStaysUsable) {
    int ready[2];
    ASSERT_EQ(0, ::pipe(ready));
    pid_t child = ::fork();
    if (child == 0) {
        // Held twice: recovery must not need two unlocks from the next owner.
        if (!shared->mutex.lock() || !shared->mutex.lock() || ::write(ready[1], "x", 1) != 1) _exit(1);
        for (;;) ::pause();
    }
    char c = 0;
    ASSERT_EQ(1, ::read(ready[0], &c, 1));
    ::close(ready[0]);
    ::close(ready[1]);
    std::atomic<int> result(-1);
    std::thread waiter([&] {
        result = shared->mutex.lockEx();
        shared->mutex.unlock();
    });
    ::usleep(20000);  // lets the waiter block first; either order must give OWNER_DIED once
    ASSERT_EQ(0, ::kill(child, SIGKILL));
    EXPECT_EQ(128 + SIGKILL, exitCode(child));
    waiter.join();
    EXPECT_EQ(CQVMutex::LOCKED_OWNER_DIED, result.load());
    pid_t next = ::fork();
    if (next == 0) _exit(shared->mutex.lockEx() == CQVMutex::LOCKED && shared->mutex.unlock() ? 0 : 1);
    EXPECT_EQ(0, exitCode(next));
}

}  // namespace
