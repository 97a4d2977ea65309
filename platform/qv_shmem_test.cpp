// The named shared-memory block: who created it, how long it lives, and an
// opener that comes before its creator has sized it.
#include "platform/qv_shmem.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Every test has its own QV_SHM_PREFIX, so runs never meet each other or the
// real object.
class CQVShMemTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int sequence = 0;
        prefix = "rrztest_" + std::to_string(::getpid()) + "_" + std::to_string(++sequence) + "_";
        ASSERT_EQ(0, ::setenv("QV_SHM_PREFIX", prefix.c_str(), 1));
    }
    void TearDown() override { CQVShMem::remove("block"); }
    std::string prefix;
};

TEST_F(CQVShMemTest, FirstCreatorIsToldSoAndTheObjectOutlivesItsUsersUntilRemoved) {
    {
        CQVShMem first("block", 8);
        ASSERT_EQ(CQVShMem::CREATED, first.create(false));
        EXPECT_STREQ(("/" + prefix + "block").c_str(), first.name().c_str());
        ASSERT_TRUE(first.map(CQVShMem::MAP_READ_WRITE));
        std::strcpy(static_cast<char*>(first.address()), "kept");
    }
    CQVShMem second("/block", 8);
    ASSERT_EQ(CQVShMem::EXISTED, second.create(false));
    ASSERT_TRUE(second.map(CQVShMem::MAP_READ_WRITE));
    EXPECT_STREQ("kept", static_cast<char*>(second.address()));
    errno = 0;
    EXPECT_EQ(CQVShMem::FAILED, CQVShMem("block", 8).create(true));
    EXPECT_EQ(EEXIST, errno);
    EXPECT_TRUE(CQVShMem::remove("block"));
    errno = 0;
    EXPECT_FALSE(CQVShMem::remove("block"));
    EXPECT_EQ(ENOENT, errno);
    ::unsetenv("QV_SHM_PREFIX");  // the real object's name, the same in every browser process
    EXPECT_STREQ("/officeplugin_storage_mutex", CQVShMem("officeplugin_storage_mutex", 8).name().c_str());
    ::setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
}

TEST_F(CQVShMemTest, OpenerBeforeTheCreatorSizedTheObjectGetsAUsableBlock) {
    // The creator caught between shm_open and ftruncate: the object has size 0.
    int fd = ::shm_open(("/" + prefix + "block").c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    CQVShMem opener("block", 64);
    ASSERT_EQ(CQVShMem::EXISTED, opener.create(false));
    ASSERT_TRUE(opener.map(CQVShMem::MAP_READ_WRITE));
    std::memset(opener.address(), 0x11, 64);  // SIGBUS here if left unsized
    ASSERT_EQ(0, ::ftruncate(fd, 64));        // the late creator: content kept
    ::close(fd);
    EXPECT_EQ(0x11, static_cast<unsigned char*>(opener.address())[63]);
}

}  // namespace
