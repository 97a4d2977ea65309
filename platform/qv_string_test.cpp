#include "platform/qv_string.h"

#include <gtest/gtest.h>

#include <string>

TEST(CQVString, FormatProducesOutputLongerThanAnyInternalBuffer) {
    std::string expected(5000, 'x');
    CQVString s("old content");
    ASSERT_TRUE(s.format("<%s|%d>", expected.c_str(), 42));
    EXPECT_EQ(std::string("<") + expected + "|42>", s.c_str());
    EXPECT_EQ(5000u + 5u, s.length());
}

TEST(CQVString, FormatAtTheSmallBufferBoundary) {
    for (size_t n : {254u, 255u, 256u, 257u}) {
        std::string text(n, 'a');
        CQVString s;
        ASSERT_TRUE(s.format("%s", text.c_str()));
        EXPECT_EQ(n, s.length());
        EXPECT_EQ(text, s.c_str());
    }
}

TEST(CQVString, FormatReplacesAndHexDigitsAreExact) {
    CQVString s("prefix");
    ASSERT_TRUE(s.format("%02x", 0x0a));
    EXPECT_EQ(s, "0a");
}

TEST(CQVString, FormatFailureLeavesEmptyText) {
    CQVString s("keep?");
    // A wide character that the "C" locale cannot represent makes
    // vsnprintf fail with EILSEQ.
    EXPECT_FALSE(s.format("%ls", L"\x4e2d"));
    EXPECT_TRUE(s.isEmpty());
}

TEST(CQVString, FindRevFindsLastOccurrence) {
    CQVString url("http://host/a.b/file.docx?x=1");
    CQVString::const_iterator dot = url.findRev(".");
    ASSERT_NE(url.end(), dot);
    EXPECT_EQ(url.getRight(dot + 1), "docx?x=1");
    EXPECT_EQ(url.getRight(dot), ".docx?x=1");
}

TEST(CQVString, FindRevEdgeCases) {
    CQVString s("aaa");
    EXPECT_EQ(s.begin() + 1, s.findRev("aa"));  // overlapping: last start
    EXPECT_EQ(s.end(), s.findRev("b"));
    EXPECT_EQ(s.end(), s.findRev(""));
    EXPECT_EQ(s.end(), s.findRev(nullptr));
    EXPECT_EQ(s.end(), s.findRev("aaaa"));  // longer than the text
    EXPECT_EQ(s.begin(), s.findRev("aaa"));
    CQVString empty;
    EXPECT_EQ(empty.end(), empty.findRev("."));
    CQVString trailing("name.");
    EXPECT_EQ(trailing.getRight(trailing.findRev(".") + 1), "");
}

TEST(CQVString, GetRightOfEndAndBegin) {
    CQVString s("abc");
    EXPECT_TRUE(s.getRight(s.end()).isEmpty());
    EXPECT_EQ(s.getRight(s.begin()), "abc");
}

TEST(CQVStringDeathTest, GetRightOutsideTheTextIsFatal) {
    CQVString s("abc");
    EXPECT_DEATH(s.getRight(s.end() + 1), "assertion failed");
}

TEST(CQVString, TruncateKeepsPrefix) {
    CQVString s("abcdef");
    s.truncate(10);
    EXPECT_EQ(s, "abcdef");
    s.truncate(3);
    EXPECT_EQ(s, "abc");
    s.truncate(0);
    EXPECT_TRUE(s.isEmpty());
    EXPECT_STREQ("", s.c_str());
}

TEST(CQVString, ComparisonIsExactAndCaseSensitive) {
    EXPECT_TRUE(CQVString("doc") == "doc");
    EXPECT_TRUE(CQVString("doc") != "DOC");
    EXPECT_TRUE(CQVString("doc") != "docx");
    EXPECT_TRUE("doc" != CQVString("do"));
    EXPECT_TRUE(CQVString() == nullptr);
    EXPECT_TRUE(CQVString(nullptr) == "");
}

TEST(CQVString, ConcatenationAndAppend) {
    CQVString dir("/data/");
    CQVString path = dir + "files/" + CQVString("x") + "";
    EXPECT_EQ(path, "/data/files/x");
    EXPECT_EQ("a" + CQVString("b"), "ab");
    path.append('!').append(static_cast<const char*>(nullptr)).append(CQVString("?"));
    EXPECT_EQ(path, "/data/files/x!?");
    EXPECT_EQ(dir, "/data/");  // operands unchanged
}

TEST(CQVString, ConstructFromLengthStopsAtTerminator) {
    const char bytes[] = {'a', 'b', '\0', 'c'};
    EXPECT_EQ(CQVString(bytes, 4), "ab");
    EXPECT_EQ(CQVString("abcdef", 3), "abc");
    EXPECT_EQ(CQVString("ab", 0), "");
}

TEST(CQVString, CopiesAreIndependent) {
    CQVString a("one");
    CQVString b(a);
    b.append("two");
    CQVString c;
    c = a;
    a.truncate(0);
    EXPECT_EQ(b, "onetwo");
    EXPECT_EQ(c, "one");
    c = c.c_str();  // assignment from its own text
    EXPECT_EQ(c, "one");
}
