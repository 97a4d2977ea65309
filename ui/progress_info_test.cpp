#include "ui/progress_info.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace NPluginUI {
namespace {

std::string text(const CProgressInfo& info) {
    const char* value = info.toString();
    return value ? value : "<null>";
}

TEST(ProgressInfo, StartsAtZeroWithDots) {
    CProgressInfo info;
    EXPECT_EQ(0.0, info.getPosition());
    EXPECT_EQ(0.0, info.getSize());
    EXPECT_EQ("...", text(info));
}

TEST(ProgressInfo, SizeNotAboveZeroShowsDots) {
    CProgressInfo info;
    info.setPosition(500);
    EXPECT_EQ("...", text(info));
    info.setSize(-10);
    EXPECT_EQ("...", text(info));
}

TEST(ProgressInfo, PercentageIsTruncatedNotRounded) {
    CProgressInfo info;
    info.setSize(1000);
    info.setPosition(999);
    EXPECT_EQ("99%", text(info));
    info.setPosition(0);
    EXPECT_EQ("0%", text(info));
    info.setPosition(1000);
    EXPECT_EQ("100%", text(info));
}

TEST(ProgressInfo, PositionBeyondSizeIsNotLimited) {
    CProgressInfo info;
    info.setSize(1000);
    info.setPosition(1500);
    EXPECT_EQ("150%", text(info));
    EXPECT_EQ(1500, info.getPosition());
}

TEST(ProgressInfo, IncPositionAccumulates) {
    CProgressInfo info;
    info.setSize(200);
    info.incPosition(50);
    info.incPosition(51);
    EXPECT_EQ(101, info.getPosition());
    EXPECT_EQ("50%", text(info));
    info.incPosition(-101);
    EXPECT_EQ("0%", text(info));
}

TEST(ProgressInfo, PercentageOutsideIntRangeIsClamped) {
    CProgressInfo info;
    info.setSize(1e-300);
    info.setPosition(1e300);
    EXPECT_EQ("2147483647%", text(info));
    info.setPosition(-1e300);
    EXPECT_EQ("-2147483648%", text(info));
    info.setPosition(NAN);
    EXPECT_EQ("...", text(info));
}

TEST(ProgressInfo, CustomTextIsCopiedAndReplaced) {
    CProgressInfo info;
    char buffer[] = "Loading";
    info.useCustomText(buffer);
    buffer[0] = 'X';
    EXPECT_EQ("Loading", text(info));
    info.useCustomText("Converting");
    EXPECT_EQ("Converting", text(info));
    // Its own stored text as the new one.
    info.useCustomText(info.toString());
    EXPECT_EQ("Converting", text(info));
}

TEST(ProgressInfo, NullCustomTextKeepsModeAndText) {
    CProgressInfo info;
    info.setSize(4);
    info.setPosition(1);
    info.useCustomText(nullptr);
    EXPECT_EQ("25%", text(info));
    info.useCustomText("abc");
    info.useCustomText(nullptr);
    EXPECT_EQ("abc", text(info));
}

TEST(ProgressInfo, DefaultTextReturnsAfterCustomText) {
    CProgressInfo info;
    info.setSize(4);
    info.setPosition(3);
    info.useCustomText("abc");
    info.useDefaultText();
    EXPECT_EQ("75%", text(info));
}

}  // namespace
}  // namespace NPluginUI
