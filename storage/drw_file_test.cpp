#include "storage/drw_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

using namespace test_support;

namespace {

struct Paths {
    explicit Paths(const TempDir& dir) : target(dir / "version"), tmp(target + ".new") {}
    std::string target;
    std::string tmp;
};

}  // namespace

TEST(DRWFile, CommitReplacesTargetAndReaderSeesOldContentUntilThen) {
    TempDir dir;
    Paths p(dir);
    ASSERT_TRUE(writeFile(p.target, "old content that is longer than the new one"));

    CDRWFile file(p.target.c_str(), p.tmp.c_str());
    FILE* stream = file.open(true);
    ASSERT_NE(nullptr, stream);
    ASSERT_GE(std::fputs("new", stream), 0);
    std::fflush(stream);
    EXPECT_EQ("old content that is longer than the new one", readFile(p.target));

    ASSERT_TRUE(file.close());
    EXPECT_EQ("new", readFile(p.target));
    EXPECT_FALSE(exists(p.tmp));
}

TEST(DRWFile, SecondCloseReturnsFalseAndChangesNothing) {
    TempDir dir;
    Paths p(dir);
    CDRWFile file(p.target.c_str(), p.tmp.c_str());
    ASSERT_NE(nullptr, file.open(true));
    ASSERT_TRUE(file.close());
    ASSERT_TRUE(writeFile(p.target, "changed by someone else"));
    EXPECT_FALSE(file.close());
    EXPECT_EQ("changed by someone else", readFile(p.target));
}

TEST(DRWFile, OpenWhileOpenReturnsTheSameStream) {
    TempDir dir;
    Paths p(dir);
    CDRWFile file(p.target.c_str(), p.tmp.c_str());
    FILE* first = file.open(true);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, file.open(false));
    EXPECT_TRUE(file.close());
}

TEST(DRWFile, DestructionCommitsAnOpenStream) {
    TempDir dir;
    Paths p(dir);
    {
        CDRWFile file(p.target.c_str(), p.tmp.c_str());
        FILE* stream = file.open(true);
        ASSERT_NE(nullptr, stream);
        std::fputs("committed by the destructor", stream);
    }
    EXPECT_EQ("committed by the destructor", readFile(p.target));
    EXPECT_FALSE(exists(p.tmp));
}

TEST(DRWFile, KeepingOldContentAppendsAfterACopy) {
    TempDir dir;
    Paths p(dir);
    // More than one copy block, not a multiple of it.
    std::string old(2500, 'x');
    old[1024] = 'y';
    ASSERT_TRUE(writeFile(p.target, old));

    CDRWFile file(p.target.c_str(), p.tmp.c_str());
    FILE* stream = file.open(false);
    ASSERT_NE(nullptr, stream);
    std::fputs("tail", stream);
    ASSERT_TRUE(file.close());
    EXPECT_EQ(old + "tail", readFile(p.target));
}

TEST(DRWFile, KeepingOldContentOfAMissingTargetFailsAndLeavesNoTemporary) {
    TempDir dir;
    Paths p(dir);
    CDRWFile file(p.target.c_str(), p.tmp.c_str());
    EXPECT_EQ(nullptr, file.open(false));
    EXPECT_FALSE(exists(p.tmp));
    EXPECT_FALSE(file.close());
}

TEST(DRWFile, OpenInMissingDirectoryFails) {
    TempDir dir;
    std::string target = dir / "no/such/dir/file";
    CDRWFile file(target.c_str(), (target + ".new").c_str());
    EXPECT_EQ(nullptr, file.open(true));
    EXPECT_FALSE(file.close());
}

TEST(DRWFile, FailedRenameLeavesTargetAndTemporaryForTheNextOpen) {
    TempDir dir;
    Paths p(dir);
    // A non-empty directory cannot be replaced by a file.
    ASSERT_EQ(0, ::mkdir(p.target.c_str(), 0700));
    ASSERT_TRUE(writeFile(p.target + "/inside", "keep"));

    CDRWFile file(p.target.c_str(), p.tmp.c_str());
    FILE* stream = file.open(true);
    ASSERT_NE(nullptr, stream);
    std::fputs("first attempt", stream);
    EXPECT_FALSE(file.close());
    EXPECT_EQ("first attempt", readFile(p.tmp));
    EXPECT_EQ("keep", readFile(p.target + "/inside"));

    stream = file.open(true);
    ASSERT_NE(nullptr, stream);
    EXPECT_EQ("", readFile(p.tmp));
    std::fputs("second attempt", stream);
    ASSERT_EQ(0, ::unlink((p.target + "/inside").c_str()));
    ASSERT_EQ(0, ::rmdir(p.target.c_str()));
    EXPECT_TRUE(file.close());
    EXPECT_EQ("second attempt", readFile(p.target));
}
