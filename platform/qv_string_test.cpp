// CQVString::format around its on-stack buffer, and splitting the extension list.
#include "platform/qv_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/qv_string_utilities.h"

TEST(CQVString, FormatGivesTheWholeTextAtAnyLengthAndEmptyTextOnFailure) {
    for (size_t n : {0u, 254u, 255u, 256u, 257u, 5000u}) {
        std::string text(n, 'a');
        CQVString s("old content");
        ASSERT_TRUE(s.format("<%s|%02x>", text.c_str(), 10));
        EXPECT_EQ("<" + text + "|0a>", std::string(s.c_str(), s.length())) << n;
    }
    CQVString s("kept?");
    EXPECT_FALSE(s.format("%ls", L"\x4e2d"));  // not representable in the "C" locale
    EXPECT_TRUE(s.isEmpty());
}

TEST(CQVString, SplitGivesThePiecesBetweenSeparators) {
    const struct { const char* text; const char* separator; bool skipEmpty; std::vector<std::string> pieces; } rows[] = {
        {"doc,docx,pptx", ",", false, {"doc", "docx", "pptx"}},
        {",a,,b,", ",", false, {"", "a", "", "b", ""}},
        {",a,,b,", ",", true, {"a", "b"}},
        {"", ",", false, {}},
        {"doc", "", false, {"doc"}},
        {"a::b:c::", "::", false, {"a", "b:c", ""}},
    };
    for (const auto& row : rows) {
        TQVVector<CQVString> out;
        out.push_back("stale");
        QVStringUtilities::split(out, row.text, row.separator, row.skipEmpty);
        std::vector<std::string> pieces;
        for (const CQVString& piece : out) pieces.push_back(piece.c_str());
        EXPECT_EQ(row.pieces, pieces) << row.text << " by " << row.separator;
    }
}
