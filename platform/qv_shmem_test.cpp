#include "platform/qv_shmem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/qv_mutex.h"

namespace {

// Gives every test its own QV_SHM_PREFIX, so runs never meet each other or
// the real object, and removes what the test created.
class CQVShMemTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int sequence = 0;
        mPrefix = "rrztest_" + std::to_string(getpid()) + "_" + std::to_string(++sequence) + "_";
        ASSERT_EQ(0, setenv("QV_SHM_PREFIX", mPrefix.c_str(), 1));
    }
    void TearDown() override {
        CQVShMem::remove("block");
        CQVShMem::remove("officeplugin_storage_mutex");
        unsetenv("QV_SHM_PREFIX");
    }
    static int exitCode(pid_t child) {
        int status = 0;
        if (waitpid(child, &status, 0) != child) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string mPrefix;
};

}  // namespace

TEST_F(CQVShMemTest, PrefixIsPutBeforeTheName) {
    CQVShMem shm("officeplugin_storage_mutex", 8);
    EXPECT_EQ(shm.name(), ("/" + mPrefix + "officeplugin_storage_mutex").c_str());
    EXPECT_EQ(CQVShMem::objectName("/x"), ("/" + mPrefix + "x").c_str());
    ASSERT_EQ(CQVShMem::CREATED, shm.create(false));
    struct stat st;
    EXPECT_EQ(0, stat(("/dev/shm/" + mPrefix + "officeplugin_storage_mutex").c_str(), &st));
    unsetenv("QV_SHM_PREFIX");
    EXPECT_EQ(CQVShMem::objectName("officeplugin_storage_mutex"), "/officeplugin_storage_mutex");
    ASSERT_EQ(0, setenv("QV_SHM_PREFIX", mPrefix.c_str(), 1));
}

TEST_F(CQVShMemTest, SecondCreateFindsTheObjectAndExclusiveCreateFails) {
    CQVShMem first("block", 8);
    CQVShMem second("block", 8);
    CQVShMem third("block", 8);
    EXPECT_EQ(CQVShMem::CREATED, first.create(false));
    EXPECT_EQ(CQVShMem::EXISTED, second.create(false));
    errno = 0;
    EXPECT_EQ(CQVShMem::FAILED, third.create(true));
    EXPECT_EQ(EEXIST, errno);
}

TEST_F(CQVShMemTest, ObjectOutlivesItsUsersUntilRemoved) {
    {
        CQVShMem shm("block", 8);
        ASSERT_EQ(CQVShMem::CREATED, shm.create(false));
        ASSERT_TRUE(shm.map(CQVShMem::MAP_READ_WRITE));
        std::strcpy(static_cast<char*>(shm.address()), "kept");
    }
    CQVShMem again("block", 8);
    ASSERT_EQ(CQVShMem::EXISTED, again.create(false));
    ASSERT_TRUE(again.map(2));
    EXPECT_STREQ("kept", static_cast<char*>(again.address()));
    EXPECT_TRUE(CQVShMem::remove("block"));
    errno = 0;
    EXPECT_FALSE(CQVShMem::remove("block"));
    EXPECT_EQ(ENOENT, errno);
}

TEST_F(CQVShMemTest, MapAndUnmapRules) {
    CQVShMem shm("block", 8);
    errno = 0;
    EXPECT_FALSE(shm.map(2));  // not created yet
    EXPECT_EQ(EINVAL, errno);
    ASSERT_EQ(CQVShMem::CREATED, shm.create(false));
    EXPECT_FALSE(shm.map(7));
    errno = 0;
    EXPECT_FALSE(shm.unmap());
    EXPECT_EQ(EINVAL, errno);
    ASSERT_TRUE(shm.map(2));
    EXPECT_NE(nullptr, shm.address());
    EXPECT_FALSE(shm.map(2));  // already mapped
    EXPECT_TRUE(shm.unmap());
    EXPECT_EQ(nullptr, shm.address());
    EXPECT_FALSE(shm.unmap());
    EXPECT_TRUE(shm.map(2));  // may be mapped again
}

TEST_F(CQVShMemTest, BlockTooSmallForTheHostMutexStillHoldsIt) {
    // The device's mutex fits 8 bytes; the host's does not. The object is
    // rounded up to whole pages, so constructing a mutex there is safe.
    CQVShMem shm("officeplugin_storage_mutex", 8);
    ASSERT_EQ(CQVShMem::CREATED, shm.create(false));
    ASSERT_TRUE(shm.map(2));
    CQVMutex* mutex = new (shm.address()) CQVMutex(true, 0);
    EXPECT_EQ(CQVMutex::LOCKED, mutex->lockEx());
    EXPECT_TRUE(mutex->unlock());
    struct stat st;
    ASSERT_EQ(0, stat(("/dev/shm/" + mPrefix + "officeplugin_storage_mutex").c_str(), &st));
    EXPECT_GE(static_cast<size_t>(st.st_size), sizeof(CQVMutex));
}

TEST_F(CQVShMemTest, OpenerBeforeCreatorSizedTheObjectGetsAUsableBlock) {
    // Simulate the creator caught between shm_open and ftruncate: the
    // object exists with size 0.
    std::string name = "/" + mPrefix + "block";
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    CQVShMem opener("block", 64);
    ASSERT_EQ(CQVShMem::EXISTED, opener.create(false));
    ASSERT_TRUE(opener.map(2));
    std::memset(opener.address(), 0x11, 64);  // SIGBUS here if left unsized
    // The late creator sizes it again: idempotent, content kept.
    ASSERT_EQ(0, ftruncate(fd, 64));
    close(fd);
    EXPECT_EQ(0x11, static_cast<unsigned char*>(opener.address())[63]);
}

TEST_F(CQVShMemTest, ForkedProcessesShareTheBlockAndItsMutex) {
    CQVShMem creator("officeplugin_storage_mutex", 8);
    ASSERT_EQ(CQVShMem::CREATED, creator.create(false));
    ASSERT_TRUE(creator.map(2));
    struct Block {
        CQVMutex mutex;
        volatile long counter;
    };
    Block* block = new (creator.address()) Block;
    block->counter = 0;
    const int kTimes = 5000;
    pid_t children[2];
    for (pid_t& child : children) {
        child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A child opens the object by name, as another browser would.
            CQVShMem opener("officeplugin_storage_mutex", 8);
            if (opener.create(false) != CQVShMem::EXISTED || !opener.map(2)) {
                _exit(3);
            }
            Block* shared = static_cast<Block*>(opener.address());
            for (int i = 0; i < kTimes; ++i) {
                if (shared->mutex.lockEx() != CQVMutex::LOCKED) {
                    _exit(4);
                }
                long value = shared->counter;
                if (i % 128 == 0) {
                    sched_yield();
                }
                shared->counter = value + 1;
                shared->mutex.unlock();
            }
            _exit(opener.unmap() ? 0 : 5);
        }
    }
    for (pid_t child : children) {
        EXPECT_EQ(0, exitCode(child));
    }
    EXPECT_EQ(2 * kTimes, block->counter);
    EXPECT_TRUE(creator.unmap());
}
