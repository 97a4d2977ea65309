#include "platform/qv_string_utilities.h"

#include <gtest/gtest.h>

namespace {

void expectPieces(const TQVVector<CQVString>& v, std::initializer_list<const char*> expected) {
    ASSERT_EQ(static_cast<int>(expected.size()), v.size());
    int i = 0;
    for (const char* piece : expected) {
        EXPECT_EQ(v.get(i++), piece) << "piece " << i - 1;
    }
}

}  // namespace

TEST(QVStringUtilities, SplitsTheDefaultExtensionList) {
    TQVVector<CQVString> out;
    QVStringUtilities::split(out, "doc,docx,xls,xlsx,ppt,pptx", ",", false);
    expectPieces(out, {"doc", "docx", "xls", "xlsx", "ppt", "pptx"});
}

TEST(QVStringUtilities, KeepsEmptyPiecesUnlessAskedToSkip) {
    TQVVector<CQVString> out;
    QVStringUtilities::split(out, ",a,,b,", ',', false);
    expectPieces(out, {"", "a", "", "b", ""});
    QVStringUtilities::split(out, ",a,,b,", ',', true);
    expectPieces(out, {"a", "b"});
}

TEST(QVStringUtilities, EmptyTextGivesNoPieces) {
    TQVVector<CQVString> out;
    out.push_back("stale");
    QVStringUtilities::split(out, "", ",", false);
    EXPECT_EQ(0, out.size());
}

TEST(QVStringUtilities, TextWithoutSeparatorIsOnePiece) {
    TQVVector<CQVString> out;
    QVStringUtilities::split(out, "doc", ",", false);
    expectPieces(out, {"doc"});
    QVStringUtilities::split(out, "doc", "", false);
    expectPieces(out, {"doc"});
}

TEST(QVStringUtilities, MultiCharacterSeparator) {
    TQVVector<CQVString> out;
    QVStringUtilities::split(out, "a::b:c::", "::", false);
    expectPieces(out, {"a", "b:c", ""});
}
