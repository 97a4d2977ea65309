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
    a = "";
    EXPECT_EQ(b, "onetwo");
    EXPECT_EQ(c, "one");
    c = c.c_str();  // assignment from its own text
    EXPECT_EQ(c, "one");
}
