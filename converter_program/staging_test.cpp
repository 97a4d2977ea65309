#include "converter_program/staging.h"
#include "tests/support/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

class StagingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(mTemp.path().empty());
        mDir = mTemp.path() + "/";
    }
    void TearDown() override { EXPECT_TRUE(NStaging::removeTree(mDir)); }
    void write(const std::string& path, std::size_t size) {
        std::ofstream(mDir + path, std::ios::binary) << std::string(size, 'x');
    }
    bool exists(const std::string& path) { return ::access((mDir + path).c_str(), F_OK) == 0; }
    test_support::TempDir mTemp{"rrz_staging"};
    std::string mDir;
};

TEST_F(StagingTest, WorkDirIsNewPrivateAndInsideTheParent) {
    std::string first, second;
    ASSERT_TRUE(NStaging::makeWorkDir(mDir, first));
    ASSERT_TRUE(NStaging::makeWorkDir(mDir, second));
    EXPECT_NE(first, second);
    EXPECT_EQ(0u, first.find(mDir + ".convert-"));
    EXPECT_EQ('/', first.back());
    struct stat status;
    ASSERT_EQ(0, ::stat(first.c_str(), &status));
    EXPECT_EQ(0700u, status.st_mode & 0777);
    EXPECT_FALSE(NStaging::makeWorkDir(mDir + "missing/", first));
}

TEST_F(StagingTest, TreeSizeAddsFilesAtEveryDepthAndNotLinkTargets) {
    ASSERT_EQ(0, ::mkdir((mDir + "a").c_str(), 0700));
    ASSERT_EQ(0, ::mkdir((mDir + "a/b").c_str(), 0700));
    write("one", 100);
    write("a/two", 20);
    write("a/b/three", 3);
    ASSERT_EQ(0, ::symlink((mDir + "one").c_str(), (mDir + "a/link").c_str()));
    unsigned long long size = 0;
    ASSERT_TRUE(NStaging::treeSize(mDir, size));
    EXPECT_EQ(123u + (mDir + "one").size(), size);
    EXPECT_FALSE(NStaging::treeSize(mDir + "missing", size));
}

TEST_F(StagingTest, MoveContentsReplacesFilesAndDirectoriesOfTheSameName) {
    ASSERT_EQ(0, ::mkdir((mDir + "from").c_str(), 0700));
    ASSERT_EQ(0, ::mkdir((mDir + "from/pics").c_str(), 0700));
    ASSERT_EQ(0, ::mkdir((mDir + "to").c_str(), 0700));
    ASSERT_EQ(0, ::mkdir((mDir + "to/pics").c_str(), 0700));
    write("from/index.html", 10);
    write("from/pics/a.png", 5);
    write("to/index.html", 1);
    write("to/pics/old.png", 1);
    write("to/keep", 1);
    std::string failed;
    ASSERT_TRUE(NStaging::moveContents(mDir + "from/", mDir + "to", failed)) << failed;
    EXPECT_TRUE(exists("to/pics/a.png"));
    EXPECT_FALSE(exists("to/pics/old.png"));
    EXPECT_TRUE(exists("to/keep"));
    unsigned long long size = 0;
    ASSERT_TRUE(NStaging::treeSize(mDir + "from", size));
    EXPECT_EQ(0u, size);
    size = 0;
    ASSERT_TRUE(NStaging::treeSize(mDir + "to", size));
    EXPECT_EQ(16u, size);
}

TEST_F(StagingTest, MoveIntoMissingDirectoryNamesTheEntry) {
    ASSERT_EQ(0, ::mkdir((mDir + "from").c_str(), 0700));
    write("from/index.html", 1);
    std::string failed;
    EXPECT_FALSE(NStaging::moveContents(mDir + "from", mDir + "nowhere", failed));
    EXPECT_EQ("index.html", failed);
    EXPECT_EQ(ENOENT, errno);
}

TEST_F(StagingTest, RemoveTreeTakesEverythingAndDoesNotFollowLinks) {
    ASSERT_EQ(0, ::mkdir((mDir + "outside").c_str(), 0700));
    write("outside/precious", 1);
    ASSERT_EQ(0, ::mkdir((mDir + "tree").c_str(), 0700));
    ASSERT_EQ(0, ::mkdir((mDir + "tree/sub").c_str(), 0700));
    write("tree/sub/f", 1);
    ASSERT_EQ(0, ::symlink((mDir + "outside").c_str(), (mDir + "tree/link").c_str()));
    EXPECT_TRUE(NStaging::removeTree(mDir + "tree"));
    EXPECT_FALSE(exists("tree"));
    EXPECT_TRUE(exists("outside/precious"));
    EXPECT_TRUE(NStaging::removeTree(mDir + "tree"));
}

}  // namespace
