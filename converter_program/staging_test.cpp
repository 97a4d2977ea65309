#include "converter_program/staging.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::exists;

// An older output is replaced; symbolic links that an export may hold are
// never followed: neither counted with their target's size nor removed
// through.
TEST(Staging, TreesAreMovedCountedAndRemovedWithoutFollowingLinks) {
    test_support::TempDir dir("rrz_staging");
    for (const char* path : {"from", "from/pics", "to", "to/pics", "outside"}) {
        ASSERT_EQ(0, ::mkdir((dir / path).c_str(), 0700));
    }
    for (const char* path : {"from/index.html", "from/pics/a.png", "to/index.html", "to/pics/old.png", "to/keep",
                             "outside/precious"}) {
        ASSERT_TRUE(test_support::writeFile(dir / path, std::string(10, 'x')));
    }
    ASSERT_EQ(0, ::symlink((dir / "outside").c_str(), (dir / "from/pics/link").c_str()));
    unsigned long long size = 0;
    ASSERT_TRUE(NStaging::treeSize(dir / "from", size));
    EXPECT_EQ(20u + (dir / "outside").size(), size);

    std::string failed;
    ASSERT_TRUE(NStaging::moveContents(dir / "from/", dir / "to", failed)) << failed;
    EXPECT_TRUE(exists(dir / "to/pics/a.png") && exists(dir / "to/keep") && !exists(dir / "from/index.html"));
    EXPECT_FALSE(exists(dir / "to/pics/old.png"));
    ASSERT_TRUE(test_support::writeFile(dir / "from/late.html", "x"));
    EXPECT_FALSE(NStaging::moveContents(dir / "from", dir / "nowhere", failed));
    EXPECT_EQ("late.html", failed);
    EXPECT_EQ(ENOENT, errno);

    EXPECT_TRUE(NStaging::removeTree(dir / "to"));
    EXPECT_FALSE(exists(dir / "to"));
    EXPECT_TRUE(exists(dir / "outside/precious"));
    EXPECT_TRUE(NStaging::removeTree(dir / "to"));  // gone already counts as removed
}

}  // namespace
