// File operations and the directory iterator on a real file system.
#include "platform/qv_file_operations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/qv_directory_iterator.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

using namespace test_support;

namespace {

class FileOperations : public ::testing::Test {
protected:
    std::string at(const std::string& relative) const { return root / relative; }
    void file(const std::string& relative, mode_t mode = 0644) {
        ASSERT_TRUE(writeFile(at(relative), "x"));
        ASSERT_EQ(0, ::chmod(at(relative).c_str(), mode));
    }
    bool mkdirs(const std::string& relative) { return QVFileOperations::makeDirRecursive(at(relative).c_str(), 0777); }
    TempDir root;
};

TEST_F(FileOperations, MakeDirRecursiveCreatesParentsOrSaysWhyNot) {
    file("plain");
    const struct {
        const char* path;
        int error;  // 0: made
    } rows[] = {{"a/b/c/d", 0}, {"a/b/e", 0}, {"x//y/", 0}, {"x/y", EEXIST}, {"plain/sub/dir", ENOTDIR}};
    for (const auto& row : rows) {
        errno = 0;
        EXPECT_EQ(row.error == 0, mkdirs(row.path)) << row.path;
        CQVFileStatus status;
        EXPECT_EQ(row.error, row.error ? errno : 0) << row.path;
        if (row.error == 0) {
            EXPECT_TRUE(QVFileOperations::getFileStatus(at(row.path).c_str(), status) && status.isDirectory());
        }
    }
}

TEST_F(FileOperations, RecursiveRemoveTakesTheWholeTreeButNothingBehindItsLinks) {
    // Read-only and unreadable files, enough names for several directory reads, and links out of the tree.
    ASSERT_TRUE(mkdirs("tree/a/b/c") && mkdirs("tree/empty") && mkdirs("outside"));
    file("outside/precious");
    file("tree/top", 0444);
    file("tree/a/b/none", 0000);
    for (int i = 0; i < 200; ++i) file("tree/a/b/c/f" + std::to_string(i), 0444);
    ASSERT_EQ(0, ::symlink(at("outside").c_str(), at("tree/a/dirlink").c_str()));
    ASSERT_EQ(0, ::symlink(at("outside/precious").c_str(), at("tree/filelink").c_str()));
    ASSERT_EQ(0, ::symlink(at("outside").c_str(), at("link").c_str()));

    std::set<std::string> names;
    for (CQVDirectoryIterator it(at("tree").c_str()), end; it != end; ++it) names.insert(it->c_str());
    EXPECT_EQ((std::set<std::string>{"a", "empty", "top", "filelink"}), names);
    EXPECT_TRUE(CQVDirectoryIterator(at("missing").c_str()).atEnd());
    CQVFileStatus status;  // of the link itself
    EXPECT_TRUE(QVFileOperations::getFileStatus(at("link").c_str(), status) && status.isSymbolicLink());

    EXPECT_TRUE(QVFileOperations::recursiveRemove(at("link").c_str()));
    EXPECT_TRUE(QVFileOperations::recursiveRemove(at("tree").c_str()));
    EXPECT_FALSE(exists(at("tree")) || exists(at("link")));
    EXPECT_TRUE(exists(at("outside/precious")));
    errno = 0;
    EXPECT_FALSE(QVFileOperations::recursiveRemove(at("tree").c_str()));
    EXPECT_EQ(ENOENT, errno);
}

TEST_F(FileOperations, RecursiveRemoveGoesOnPastWhatItCannotRemoveAndSaysSo) {
    ASSERT_TRUE(mkdirs("tree/locked"));
    file("tree/locked/f");
    file("tree/free");
    ASSERT_EQ(0, ::chmod(at("tree/locked").c_str(), 0555));
    // Root ignores directory permissions: the child runs as nobody then.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(0, std::system(("chown -R 65534:65534 '" + root.path() + "'").c_str()));
    }
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (asRoot && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(10);
        errno = 0;
        bool removed = QVFileOperations::recursiveRemove(at("tree").c_str());
        _exit(removed || errno != EACCES ? 11 : exists(at("tree/free")) ? 12 : exists(at("tree/locked/f")) ? 0 : 13);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ::chmod(at("tree/locked").c_str(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
