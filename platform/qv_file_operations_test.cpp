#include "platform/qv_file_operations.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

class QVFileOperationsTest : public ::testing::Test {
protected:
    std::string path(const char* relative) const { return mRoot / relative; }
    void writeFile(const char* relative, const char* content, mode_t mode = 0644) const {
        int fd = open(path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
        ASSERT_GE(fd, 0) << relative;
        ASSERT_EQ(static_cast<ssize_t>(strlen(content)), write(fd, content, strlen(content)));
        close(fd);
    }
    bool exists(const std::string& p) const {
        struct stat st;
        return lstat(p.c_str(), &st) == 0;
    }

    test_support::TempDir mRoot;
};

}  // namespace

TEST_F(QVFileOperationsTest, MakeDirRecursiveCreatesParentsOrSaysWhyNot) {
    writeFile("plain", "x");
    struct Row {
        const char* path;
        int error;  // 0: made
        const char* made;
    } rows[] = {
        {"a/b/c/d", 0, "a/b/c/d"},
        {"x//y/", 0, "x/y"},
        {"x/y", EEXIST, nullptr},
        {"plain/sub/dir", ENOTDIR, nullptr},
    };
    for (const Row& row : rows) {
        errno = 0;
        EXPECT_EQ(row.error == 0, QVFileOperations::makeDirRecursive(path(row.path).c_str(), 0777)) << row.path;
        if (row.error != 0) {
            EXPECT_EQ(row.error, errno) << row.path;
        }
        CQVFileStatus status;
        if (row.made) {
            EXPECT_TRUE(QVFileOperations::getFileStatus(path(row.made).c_str(), status) &&
                        status.getType() == 0x4000u)
                << row.path;
        }
    }
}

TEST_F(QVFileOperationsTest, RecursiveRemoveDeletesNestedTreeWithReadOnlyFiles) {
    ASSERT_TRUE(QVFileOperations::makeDirRecursive(path("tree/a/b/c").c_str(), 0777));
    ASSERT_TRUE(QVFileOperations::makeDirRecursive(path("tree/empty").c_str(), 0777));
    writeFile("tree/top.txt", "top", 0444);
    writeFile("tree/a/one", "1", 0400);
    writeFile("tree/a/b/two", "2", 0000);
    for (int i = 0; i < 200; ++i) {  // enough names to span several reads
        writeFile(("tree/a/b/c/f" + std::to_string(i)).c_str(), "x", 0444);
    }
    ASSERT_TRUE(QVFileOperations::recursiveRemove(path("tree").c_str()));
    EXPECT_FALSE(exists(path("tree")));
    EXPECT_TRUE(exists(mRoot.path()));
}

TEST_F(QVFileOperationsTest, RecursiveRemoveDoesNotFollowSymbolicLinks) {
    ASSERT_TRUE(QVFileOperations::makeDirRecursive(path("outside").c_str(), 0777));
    writeFile("outside/precious", "keep");
    ASSERT_TRUE(QVFileOperations::makeDirRecursive(path("tree/sub").c_str(), 0777));
    ASSERT_EQ(0, symlink(path("outside").c_str(), path("tree/sub/link").c_str()));
    ASSERT_EQ(0, symlink(path("outside/precious").c_str(), path("tree/filelink").c_str()));
    ASSERT_TRUE(QVFileOperations::recursiveRemove(path("tree").c_str()));
    EXPECT_FALSE(exists(path("tree")));
    EXPECT_TRUE(exists(path("outside/precious")));
}

TEST_F(QVFileOperationsTest, RecursiveRemoveOfLinkRemovesOnlyTheLink) {
    ASSERT_TRUE(QVFileOperations::makeDirRecursive(path("target").c_str(), 0777));
    writeFile("target/f", "x");
    ASSERT_EQ(0, symlink(path("target").c_str(), path("link").c_str()));
    ASSERT_TRUE(QVFileOperations::recursiveRemove(path("link").c_str()));
    EXPECT_FALSE(exists(path("link")));
    EXPECT_TRUE(exists(path("target/f")));
}

TEST_F(QVFileOperationsTest, RecursiveRemoveOfSingleFileAndMissingPath) {
    writeFile("single", "x");
    EXPECT_TRUE(QVFileOperations::recursiveRemove(path("single").c_str()));
    EXPECT_FALSE(exists(path("single")));
    errno = 0;
    EXPECT_FALSE(QVFileOperations::recursiveRemove(path("single").c_str()));
    EXPECT_EQ(ENOENT, errno);
}

TEST_F(QVFileOperationsTest, RecursiveRemoveReportsWhatItCouldNotRemove) {
    ASSERT_TRUE(QVFileOperations::makeDirRecursive(path("tree/locked").c_str(), 0777));
    writeFile("tree/locked/f", "x");
    writeFile("tree/free", "x");
    ASSERT_EQ(0, chmod(path("tree/locked").c_str(), 0555));
    // Root ignores directory permissions, so run as an ordinary user then.
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        std::string command = "chown -R 65534:65534 '" + mRoot.path() + "'";
        ASSERT_EQ(0, std::system(command.c_str()));
    }
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (asRoot && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(10);
        }
        errno = 0;
        if (QVFileOperations::recursiveRemove(path("tree").c_str())) {
            _exit(11);
        }
        if (errno != EACCES) {
            _exit(12);
        }
        _exit(exists(path("tree/free")) ? 13 : exists(path("tree/locked/f")) ? 0 : 14);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    chmod(path("tree/locked").c_str(), 0755);  // so the directory can go
    ASSERT_TRUE(WIFEXITED(status));
    // 0: false with EACCES, the free file gone, the locked one kept.
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST_F(QVFileOperationsTest, GetFileStatusReportsSixtyFourBitSize) {
    int fd = open(path("big").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const off_t size = (static_cast<off_t>(5) << 30) + 3;  // sparse, past 4 GiB
    int rc = ftruncate(fd, size);
    close(fd);
    if (rc != 0) {
        GTEST_SKIP() << "file system refuses a 5 GiB sparse file";
    }
    CQVFileStatus status;
    ASSERT_TRUE(QVFileOperations::getFileStatus(path("big").c_str(), status));
    EXPECT_TRUE(status.isRegularFile());
    EXPECT_EQ(0x8000u, status.getType());
    EXPECT_EQ(static_cast<UInt64>(size), status.getSize());
}

TEST_F(QVFileOperationsTest, GetFileStatusDoesNotFollowLinksAndFailsWithErrno) {
    ASSERT_EQ(0, symlink("/", path("link").c_str()));
    CQVFileStatus status;
    ASSERT_TRUE(QVFileOperations::getFileStatus(path("link").c_str(), status));
    EXPECT_TRUE(status.isSymbolicLink());
    errno = 0;
    EXPECT_FALSE(QVFileOperations::getFileStatus(path("none").c_str(), status));
    EXPECT_EQ(ENOENT, errno);
}

TEST_F(QVFileOperationsTest, RenameMovesFilesAndDirectories) {
    ASSERT_TRUE(QVFileOperations::makeDirRecursive(path("src/inner").c_str(), 0777));
    writeFile("src/inner/f", "x");
    ASSERT_TRUE(QVFileOperations::rename(path("src").c_str(), path("dst").c_str()));
    EXPECT_TRUE(exists(path("dst/inner/f")));
    EXPECT_FALSE(exists(path("src")));
    ASSERT_TRUE(QVFileOperations::rename(path("dst/inner/f").c_str(), path("g").c_str()));
    EXPECT_TRUE(exists(path("g")));
    errno = 0;
    EXPECT_FALSE(QVFileOperations::rename(path("missing").c_str(), path("h").c_str()));
    EXPECT_EQ(ENOENT, errno);
}
