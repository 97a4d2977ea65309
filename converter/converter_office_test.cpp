#include "converter/converter_office.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "converter/converter_test_util.h"
#include "tests/support/log_capture.h"

using namespace converter_test;

namespace {

constexpr double kBeforeTheLimit = 5.0;

class ConverterOfficeTest : public ConverterTest {
protected:
    // Converts a document whose content is the stand-in's script into
    // mDir/out/; returns the seconds it took. The time limit is 10 s unless
    // a test sets another, so "ends at once" is checked as "well before that
    // limit" (kBeforeTheLimit), which holds on a loaded machine too.
    double convert(const std::string& scriptText) {
        std::string source = script("document.docx", scriptText);
        ::mkdir((mDir / "out").c_str(), 0777);
        auto start = std::chrono::steady_clock::now();
        CQVString entry = mConverter.convertFile(source.c_str(), (mDir / "out/").c_str());
        double seconds = secondsSince(start);
        EXPECT_STREQ("index.html", entry.c_str());
        return seconds;
    }

    LogCapture mCapture;
    CConverterOffice mConverter;
};

TEST_F(ConverterOfficeTest, RelaysMessagesAtTheirLevelsAndHandsOverTheCommandLine) {
    std::string out = mDir / "record";
    convert("record " + out + "\nmsg 0 first message\nmsg 1 a warning\nmsg 2 an error\nindex\n");
    EXPECT_TRUE(mConverter.isConversionComplete());

    std::vector<std::string> argv = recorded(out, "argv");
    ASSERT_EQ(4u, argv.size());
    EXPECT_EQ(mDir / "document.docx", argv[1]);
    EXPECT_EQ(mDir / "out/index.html", argv[2]);
    // The descriptor named on the command line is the one the child has.
    std::vector<std::string> fds = recorded(out, "fd");
    EXPECT_NE(fds.end(), std::find(fds.begin(), fds.end(), argv[3]));
    EXPECT_EQ(4u, fds.size());

    EXPECT_TRUE(mCapture.contains("CConverterOffice::listen: first message", 0));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::listen: a warning", 1));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::listen: an error", 2));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::convertFile: srcFilePath=" + (mDir / "document.docx") +
                                      ", dstDirPath=" + (mDir / "out/") + ", entryPoint=index.html",
                                  0));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::convertFile: starting DerazoZoraveMain", 0));
    EXPECT_TRUE(mCapture.contains("read Header: " + std::string(strerror(EPIPE)), 0));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::listen: Execution time 0.", 0));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::convertFile: convertation is finished", 0));
    EXPECT_NE("<missing>", readFile(mDir / "out/index.html"));
}

TEST_F(ConverterOfficeTest, MessagesSplitIntoSingleBytesAreJoined) {
    convert("split 1 joined from pieces\nmsg 0 next one\n");
    EXPECT_TRUE(mCapture.contains("CConverterOffice::listen: joined from pieces", 1));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::listen: next one", 0));
}

TEST_F(ConverterOfficeTest, PercentSignsAreLoggedLiterally) {
    convert("msg 2 100% done %s %n %d\n");
    EXPECT_TRUE(mCapture.contains("CConverterOffice::listen: 100% done %s %n %d", 2));
}

TEST_F(ConverterOfficeTest, MessagesOfOtherTypesAreDroppedAndListeningGoesOn) {
    convert("msg 3 type three\nmsg -1 minus one\nmsg 77 seventy-seven\nmsg 0 still relayed\n");
    EXPECT_FALSE(mCapture.contains("type three"));
    EXPECT_FALSE(mCapture.contains("minus one"));
    EXPECT_FALSE(mCapture.contains("seventy-seven"));
    EXPECT_TRUE(mCapture.contains("still relayed", 0));
}

TEST_F(ConverterOfficeTest, EmptyMessageIsRelayedAsEmptyLine) {
    convert("header 0 0\nmsg 0 after the empty one\n");
    std::vector<std::string> lines = mCapture.texts(0);
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), "[VavavozaRozoruv] CConverterOffice::listen: "));
    EXPECT_TRUE(mCapture.contains("after the empty one", 0));
}

TEST_F(ConverterOfficeTest, ThousandsOfMessagesAreRelayedInOrder) {
    convert("flood 5000 0 line\n");
    std::vector<std::string> lines = mCapture.texts(0);
    std::vector<std::string> relayed;
    for (const std::string& line : lines) {
        if (line.find("CConverterOffice::listen: line ") != std::string::npos) relayed.push_back(line);
    }
    ASSERT_EQ(5000u, relayed.size());
    EXPECT_NE(std::string::npos, relayed.front().find(": line 0"));
    EXPECT_NE(std::string::npos, relayed.back().find(": line 4999"));
    EXPECT_TRUE(mConverter.isConversionComplete());
}

TEST_F(ConverterOfficeTest, ConverterThatExitsAtOnceEndsListeningAndIsNotKillable) {
    double seconds = convert("exit 0\n");
    EXPECT_LT(seconds, kBeforeTheLimit);
    EXPECT_TRUE(mCapture.contains("read Header: " + std::string(strerror(EPIPE)), 0));
    // It ended by itself: the kill finds no process.
    EXPECT_TRUE(mCapture.contains("CDerazoZoraveLauncher::kill: " + std::string(strerror(ESRCH)), 1));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::abort: Can't stop launcher", 2));
    EXPECT_TRUE(mConverter.isConversionComplete());
}

TEST_F(ConverterOfficeTest, ConverterHangingPastTheLimitIsKilledAtTheDeadline) {
    setTimeLimit("1");
    std::string out = mDir / "record";
    double seconds = convert("record " + out + "\nmsg 0 working\nindex partial\nhang\n");
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, kBeforeTheLimit);
    EXPECT_TRUE(mCapture.contains("read Header: " + std::string(strerror(ETIME)), 0));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::abort: conversion has been aborted", 0));
    // The partial entry page is there, yet the conversion does not count.
    EXPECT_NE("<missing>", readFile(mDir / "out/index.html"));
    EXPECT_FALSE(mConverter.isConversionComplete());
    EXPECT_TRUE(groupIsGone(std::atoi(recorded(out, "pid").at(0).c_str())));
}

TEST_F(ConverterOfficeTest, HelperOfAConverterKilledAtTheDeadlineGoesToo) {
    setTimeLimit("1");
    std::string pidFile = mDir / "helper.pid";
    convert("helper " + pidFile + "\nhang\n");
    pid_t helper = std::atoi(readFile(pidFile).c_str());
    ASSERT_GT(helper, 0);
    EXPECT_TRUE(eventually([&] { return ::kill(helper, 0) != 0 && errno == ESRCH; }));
}

TEST_F(ConverterOfficeTest, ZeroTimeLimitKillsBeforeAnyMessage) {
    setTimeLimit("0");
    convert("msg 0 too late\nhang\n");
    EXPECT_FALSE(mCapture.contains("too late"));
    EXPECT_TRUE(mCapture.contains("read Header: " + std::string(strerror(ETIME)), 0));
    EXPECT_TRUE(mCapture.contains("conversion has been aborted", 0));
    EXPECT_FALSE(mConverter.isConversionComplete());
}

TEST_F(ConverterOfficeTest, NegativeTimeLimitActsAsZero) {
    setTimeLimit("-5");
    convert("msg 0 too late\nhang\n");
    EXPECT_FALSE(mCapture.contains("too late"));
    EXPECT_TRUE(mCapture.contains("read Header: " + std::string(strerror(ETIME)), 0));
    EXPECT_FALSE(mConverter.isConversionComplete());
}

TEST_F(ConverterOfficeTest, HalfSecondLimitRoundsUpToOneSecond) {
    setTimeLimit("0.5");
    double seconds = convert("msg 0 in time\nhang\n");
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, kBeforeTheLimit);
    EXPECT_TRUE(mCapture.contains("in time", 0));
    EXPECT_TRUE(mCapture.contains("read Header: " + std::string(strerror(ETIME)), 0));
}

TEST_F(ConverterOfficeTest, OversizeLengthEndsListeningAtOnce) {
    double seconds = convert("header 0 4294967295\nhang\n");
    EXPECT_LT(seconds, kBeforeTheLimit);
    EXPECT_TRUE(mCapture.contains("message length 4294967295 is above the limit of 1048576 bytes", 2));
    EXPECT_TRUE(mCapture.contains("conversion has been aborted", 0));
    EXPECT_FALSE(mConverter.isConversionComplete());
}

TEST_F(ConverterOfficeTest, GarbageIsTakenAsAHeaderAndRefused) {
    // 0xABABABAB as length is far above the limit.
    double seconds = convert("garbage 64\nhang\n");
    EXPECT_LT(seconds, kBeforeTheLimit);
    EXPECT_TRUE(mCapture.contains("message length 2880154539 is above the limit", 2));
    EXPECT_FALSE(mConverter.isConversionComplete());
}

TEST_F(ConverterOfficeTest, HeaderCutShortByEndOfStreamEndsWithBrokenPipe) {
    convert("garbage 5\n");
    EXPECT_TRUE(mCapture.contains("read Header: " + std::string(strerror(EPIPE)), 0));
}

TEST_F(ConverterOfficeTest, TextCutShortByEndOfStreamEndsWithBrokenPipe) {
    convert("header 0 100\n");
    EXPECT_TRUE(mCapture.contains("read Message: " + std::string(strerror(EPIPE)), 0));
}

TEST_F(ConverterOfficeTest, ConverterThatClosesThePipeButRunsOnIsKilledPromptly) {
    double seconds = convert("msg 0 before closing\nclosepipe\nhang\n");
    EXPECT_LT(seconds, kBeforeTheLimit);
    EXPECT_TRUE(mCapture.contains("before closing", 0));
    EXPECT_TRUE(mCapture.contains("read Header: " + std::string(strerror(EPIPE)), 0));
    EXPECT_TRUE(mCapture.contains("CConverterOffice::abort: conversion has been aborted", 0));
}

TEST_F(ConverterOfficeTest, SecondConversionAfterNaturalEndIsRefusedAndClosesBothEnds) {
    convert("exit 0\n");
    mCapture.clear();
    convert("msg 0 never seen\n");
    EXPECT_TRUE(mCapture.contains("CDerazoZoraveLauncher::start: Already started", 2));
    EXPECT_FALSE(mCapture.contains("never seen"));
    EXPECT_TRUE(mCapture.contains("convertation is finished", 0));
    EXPECT_FALSE(mConverter.isConversionComplete());
}

TEST_F(ConverterOfficeTest, AbortWithoutConverterLogsNothing) {
    mCapture.clear();
    mConverter.abort();
    EXPECT_TRUE(mCapture.lines().empty());
}

TEST_F(ConverterOfficeTest, AbortBeforeConvertingStartsNoConverter) {
    mConverter.abort();
    std::string out = mDir / "record";
    convert("record " + out + "\nindex\n");
    EXPECT_EQ("<missing>", readFile(out));
    EXPECT_FALSE(mConverter.isConversionComplete());
    EXPECT_TRUE(mCapture.contains("convertation is finished", 0));
}

}  // namespace
