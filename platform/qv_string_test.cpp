// CQVString::format around its on-stack buffer, and its failure.
#include "platform/qv_string.h"

#include <gtest/gtest.h>

#include <string>

TEST(CQVString, FormatGivesTheWholeTextAtAnyLengthAndEmptyTextOnFailure) {
    for (size_t n : {0u, 254u, 255u, 256u, 257u, 5000u}) {
        std::string text(n, 'a');
        CQVString s("old content");
        ASSERT_TRUE(s.format("<%s|%02x>", text.c_str(), 10));
        EXPECT_EQ("<" + text + "|0a>", std::string(s.c_str(), s.length())) << n;
    }
    CQVString s("kept?");
    // A wide character the "C" locale cannot represent: vsnprintf fails.
    EXPECT_FALSE(s.format("%ls", L"\x4e2d"));
    EXPECT_TRUE(s.isEmpty());
}
