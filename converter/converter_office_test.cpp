// One conversion through the converter stand-in: what is relayed, when the
// converter is cut off, when a conversion counts as complete, and the
// deadline arithmetic.
#include "converter/converter_office.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "converter/converter_test_util.h"
#include "tests/support/log_capture.h"

using namespace converter_test;

namespace {

typedef ConverterTest ConverterOffice;

TEST_F(ConverterOffice, RelaysMessagesAndCompletesOnlyWhenTheConverterFinishes) {
    const std::string cut = "read Header: " + std::string(strerror(ETIME));
    struct Row {
        const char* name;
        const char* limit;
        const char* script;
        bool complete;
        std::vector<std::pair<std::string, int>> logged;
        const char* notLogged;
    } rows[] = {
        {"messages at their levels", "10",
         "msg 0 first\nsplit 1 joined from pieces\nmsg 2 100% done %s %n\nheader 0 0\nmsg 3 type three\n"
         "msg 7 type seven\nmsg 0 after\nindex\n",
         true,
         {{"listen: first", 0},
          {"listen: joined from pieces", 1},
          {"listen: 100% done %s %n", 2},
          {"read Header: " + std::string(strerror(EPIPE)), 0},
          {"listen: after", 0}},
         "type "},
        {"hangs past the limit with its page", "1", "msg 0 working\nindex partial\nhang\n", false,
         {{cut, 0}, {"conversion has been aborted", 0}}, nullptr},
        {"no time at all", "0", "msg 0 too late\nindex\n", false, {{cut, 0}}, "too late"},
        {"text cut short by its end", "10", "index\nheader 0 100\n", true,
         {{"read Message: " + std::string(strerror(EPIPE)), 0}}, nullptr},
        {"a length past the limit", "2", "index\nheader 0 1048577\nhang\n", false,
         {{"message length 1048577 is above the limit of 1048576 bytes", 2}, {"conversion has been aborted", 0}},
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        setTimeLimit(row.limit);
        LogCapture capture;
        CConverterOffice converter;
        std::string out = mDir / (std::string(row.name) + "/");
        ASSERT_EQ(0, ::mkdir(out.c_str(), 0777));
        EXPECT_STREQ("index.html", converter.convertFile(script("document.docx", row.script).c_str(), out.c_str()).c_str());
        EXPECT_EQ(row.complete, converter.isConversionComplete());
        for (const auto& line : row.logged) EXPECT_TRUE(capture.contains(line.first, line.second)) << line.first;
        EXPECT_FALSE(row.notLogged != nullptr && capture.contains(row.notLogged));
    }
}

TEST(ConverterDeadline, LimitIsRoundedUpToWholeSecondsAndNeverWraps) {
    struct Row {
        const char* limit;
        long long seconds;  // -1: as far as time_t reaches, at most 2^32 - 1
    } rows[] = {{"0.5", 1}, {"0", 0}, {"-3", 0}, {"2", 2}, {"2.01", 3}, {"nan", 0}, {"600", 600}, {"1e300", -1}};
    for (const Row& row : rows) {
        setTimeLimit(row.limit);
        timespec kill;
        timespec start;
        ASSERT_TRUE(CConverterOffice::getKillTime(kill, start)) << row.limit;
        const long long room = static_cast<long long>(std::numeric_limits<time_t>::max()) - start.tv_sec;
        EXPECT_EQ(row.seconds < 0 ? std::min(4294967295LL, room) : row.seconds,
                  static_cast<long long>(kill.tv_sec - start.tv_sec))
            << row.limit;
        EXPECT_EQ(start.tv_nsec, kill.tv_nsec) << row.limit;
    }
}

}  // namespace
