// Splitting the extension list into its entries.
#include "platform/qv_string_utilities.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(QVStringUtilities, SplitGivesThePiecesBetweenSeparators) {
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
