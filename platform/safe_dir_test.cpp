#include "platform/safe_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/qv_file_operations.h"
#include "platform/qv_shared_ptr.h"

namespace {

class SafeDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rrz_safedir_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        mRoot = pattern;
    }
    void TearDown() override { QVFileOperations::recursiveRemove(mRoot.c_str()); }
    void touch(const std::string& name) {
        int fd = open((mRoot + "/" + name).c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    std::string mRoot;
};

}  // namespace

TEST_F(SafeDirTest, ReadsEveryEntryIntoAPathconfSizedBuffer) {
    std::set<std::string> expected = {"a", "bb", std::string(255, 'n')};
    for (const std::string& name : expected) {
        touch(name);
    }
    long nameMax = pathconf(mRoot.c_str(), _PC_NAME_MAX);
    std::vector<char> buffer(static_cast<size_t>(nameMax > 0 ? nameMax + 25 : 1024), 0);
    DIR* dir = tamarix_qnx_safe_opendir(mRoot.c_str());
    ASSERT_NE(nullptr, dir);
    std::set<std::string> seen;
    struct dirent* entry = reinterpret_cast<struct dirent*>(buffer.data());
    struct dirent* result = nullptr;
    int rc;
    while ((rc = tamarix_qnx_safe_readdir_r(dir, entry, &result)) == 0 && result != nullptr) {
        EXPECT_EQ(entry, result);
        seen.insert(result->d_name);
    }
    EXPECT_EQ(0, rc);
    EXPECT_EQ(nullptr, result);
    // Reading past the end stays at the end.
    EXPECT_EQ(0, tamarix_qnx_safe_readdir_r(dir, entry, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(0, tamarix_qnx_safe_closedir(dir));
    seen.erase(".");
    seen.erase("..");
    EXPECT_EQ(expected, seen);
}

TEST_F(SafeDirTest, OpeningMissingDirectoryFails) {
    errno = 0;
    EXPECT_EQ(nullptr, tamarix_qnx_safe_opendir((mRoot + "/missing").c_str()));
    EXPECT_EQ(ENOENT, errno);
    EXPECT_EQ(0, tamarix_qnx_safe_closedir(nullptr));
}

TEST_F(SafeDirTest, SharedHandleIsClosedByTheLastOwner) {
    DIR* dir = tamarix_qnx_safe_opendir(mRoot.c_str());
    ASSERT_NE(nullptr, dir);
    int fd = dirfd(dir);
    {
        TQVSharedPtr<DIR, QVPrivate::CQVDirectoryCloserPolicy> first(dir);
        {
            TQVSharedPtr<DIR, QVPrivate::CQVDirectoryCloserPolicy> second(first);
            EXPECT_EQ(2u, first.useCount());
        }
        EXPECT_NE(-1, fcntl(fd, F_GETFD));  // still open
    }
    errno = 0;
    EXPECT_EQ(-1, fcntl(fd, F_GETFD));
    EXPECT_EQ(EBADF, errno);
}
