#include "platform/qv_path.h"

#include <gtest/gtest.h>

TEST(CQVPath, LeafIsLastComponent) {
    EXPECT_EQ(CQVPath("/a/b/c").getLeaf(), "c");
    EXPECT_EQ(CQVPath("a/b/c.html").getLeaf(), "c.html");
    EXPECT_EQ(CQVPath("name").getLeaf(), "name");
}

TEST(CQVPath, LeafIgnoresTrailingSlashes) {
    EXPECT_EQ(CQVPath("/a/b/").getLeaf(), "b");
    EXPECT_EQ(CQVPath("/a/b//").getLeaf(), "b");
    EXPECT_EQ(CQVPath("b/").getLeaf(), "b");
}

TEST(CQVPath, LeafOfRootAndEmpty) {
    EXPECT_EQ(CQVPath("/").getLeaf(), "/");
    EXPECT_EQ(CQVPath("//").getLeaf(), "/");
    EXPECT_EQ(CQVPath("").getLeaf(), "");
    EXPECT_EQ(CQVPath().getLeaf(), "");
}
