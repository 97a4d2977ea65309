#include "platform/qv_directory_iterator.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <string>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

using namespace test_support;

namespace {

std::set<std::string> listNames(const std::string& dir) {
    std::set<std::string> names;
    for (CQVDirectoryIterator it(dir.c_str()), end; it != end; ++it) names.insert(it->c_str());
    return names;
}

TEST(DirectoryIterator, YieldsTheNamesOfOneLevel) {
    TempDir dir;
    EXPECT_TRUE(listNames(dir.path()).empty());
    EXPECT_TRUE(listNames(dir / "missing").empty());
    ASSERT_TRUE(writeFile(dir / "a.html", "x"));
    ASSERT_TRUE(writeFile(dir / ".hidden", ""));
    ASSERT_EQ(0, ::mkdir((dir / "sub").c_str(), 0700));
    ASSERT_TRUE(writeFile(dir / "sub/inner", "not listed"));
    EXPECT_EQ((std::set<std::string>{"a.html", ".hidden", "sub"}), listNames(dir.path()));
}

TEST(DirectoryIteratorDeathTest, DereferencingTheEndStops) {
    CQVDirectoryIterator end;
    EXPECT_DEATH(static_cast<void>(end->c_str()), "assertion failed");
}

}  // namespace
