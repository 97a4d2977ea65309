#include "storage/directory_iterator.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>
#include <string>

#include "storage/storage_test_util.h"

using storage_test::TempDir;
using storage_test::writeFile;

namespace {

std::set<std::string> listNames(const std::string& dir) {
    std::set<std::string> names;
    for (CQVDirectoryIterator it((CQVPath(dir.c_str()))), end; it != end; ++it) {
        names.insert(it->getString().c_str());
    }
    return names;
}

}  // namespace

TEST(DirectoryIterator, YieldsEveryEntryButDotAndDotDot) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir / "a.html", "x"));
    ASSERT_TRUE(writeFile(dir / ".hidden", ""));
    ASSERT_EQ(0, ::mkdir((dir / "sub").c_str(), 0700));
    ASSERT_TRUE(writeFile(dir / "sub/inner", "not listed"));
    std::string longName(200, 'n');
    ASSERT_TRUE(writeFile(dir / longName, ""));

    std::set<std::string> expected = {"a.html", ".hidden", "sub", longName};
    EXPECT_EQ(expected, listNames(dir.path()));
}

TEST(DirectoryIterator, EmptyDirectoryEqualsEndAtOnce) {
    TempDir dir;
    CQVDirectoryIterator it((CQVPath(dir.path().c_str())));
    EXPECT_TRUE(it == CQVDirectoryIterator());
    EXPECT_TRUE(it.atEnd());
}

TEST(DirectoryIterator, MissingDirectoryIsAtEnd) {
    TempDir dir;
    CQVDirectoryIterator it((CQVPath((dir / "missing").c_str())));
    EXPECT_TRUE(it == CQVDirectoryIterator());
    ++it;  // advancing the end stays at the end
    EXPECT_TRUE(it.atEnd());
}

TEST(DirectoryIterator, CopyKeepsItsNameWhileTheOriginalAdvances) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir / "one", ""));
    ASSERT_TRUE(writeFile(dir / "two", ""));
    CQVDirectoryIterator it((CQVPath(dir.path().c_str())));
    ASSERT_FALSE(it.atEnd());
    CQVDirectoryIterator copy(it);
    EXPECT_TRUE(copy == it);
    std::string first = copy->getString().c_str();

    ++it;
    ASSERT_FALSE(it.atEnd());
    EXPECT_EQ(first, copy->getString().c_str());
    EXPECT_NE(first, it->getString().c_str());
    EXPECT_TRUE(copy != it);

    ++it;
    EXPECT_TRUE(it == CQVDirectoryIterator());
    // Different handles compare equal only at the end.
    CQVDirectoryIterator other((CQVPath(dir.path().c_str())));
    EXPECT_TRUE(other != copy);
}

TEST(DirectoryIteratorDeathTest, DereferencingTheEndStops) {
    CQVDirectoryIterator end;
    EXPECT_DEATH(static_cast<void>(end->getString()), "assertion failed");
}
