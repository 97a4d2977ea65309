// The pipe reading functions of CConverterOffice on pipes of the test's own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "converter/converter_office.h"
#include "converter/converter_test_util.h"
#include "tests/support/log_capture.h"

namespace {

std::string message(Int32 type, const std::string& text) {
    msgheader header = {type, static_cast<UInt32>(text.size())};
    return std::string(reinterpret_cast<const char*>(&header), sizeof(header)) + text;
}

timespec secondsFromNow(double seconds) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    long long ns = static_cast<long long>(now.tv_nsec) + static_cast<long long>(seconds * 1e9);
    now.tv_sec += static_cast<time_t>(ns / 1000000000LL);
    now.tv_nsec = static_cast<long>(ns % 1000000000LL);
    return now;
}

double processCpuSeconds() {
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) / 1e9;
}

class PipeReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, ::pipe2(mFds, O_CLOEXEC | O_NONBLOCK));
    }
    void TearDown() override {
        for (int fd : mFds) {
            if (fd >= 0) ::close(fd);
        }
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(mFds[1], bytes.data(), bytes.size()));
    }
    void closeWriteEnd() {
        ::close(mFds[1]);
        mFds[1] = -1;
    }

    int mFds[2] = {-1, -1};
};

TEST_F(PipeReadTest, LongMessageGrowsTheBufferAndShorterOnesReuseIt) {
    std::string longText(6000, 'x');
    for (size_t i = 0; i < longText.size(); ++i) longText[i] = static_cast<char>('a' + i % 26);
    send(message(1, longText));
    send(message(2, "short"));
    closeWriteEnd();

    std::size_t capacity = CConverterOffice::sInitialCapacity;
    char* buffer = new char[capacity + 1];
    bool opened = false;
    LogMessage::type type = LogMessage::MESSAGE;
    timespec deadline = secondsFromNow(10);

    ASSERT_TRUE(CConverterOffice::readMessageWithHeader(mFds[0], opened, deadline, capacity, buffer, type));
    EXPECT_EQ(6000u, capacity);
    EXPECT_EQ(LogMessage::WARNING, type);
    EXPECT_EQ(0, std::memcmp(longText.data(), buffer, 6000));
    EXPECT_EQ('\0', buffer[6000]);

    char* grown = buffer;
    ASSERT_TRUE(CConverterOffice::readMessageWithHeader(mFds[0], opened, deadline, capacity, buffer, type));
    EXPECT_EQ(grown, buffer);
    EXPECT_EQ(6000u, capacity);
    EXPECT_STREQ("short", buffer);
    EXPECT_EQ(LogMessage::ERROR, type);

    EXPECT_FALSE(CConverterOffice::readMessageWithHeader(mFds[0], opened, deadline, capacity, buffer, type));
    EXPECT_EQ(EPIPE, errno);
    delete[] buffer;
}

TEST_F(PipeReadTest, NullBufferFailsWithInvalidArgument) {
    LogCapture capture;
    bool opened = false;
    EXPECT_FALSE(CConverterOffice::readMessageData(secondsFromNow(10), 8, mFds[0], nullptr, opened));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_TRUE(capture.contains("CConverterOffice::readMessageData: buffer is NULL", 2));
}

TEST_F(PipeReadTest, WaitingForDataUntilTheDeadlineSleeps) {
    char bytes[8];
    bool opened = false;
    double cpuBefore = processCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(CConverterOffice::readMessageData(secondsFromNow(0.5), 8, mFds[0], bytes, opened));
    EXPECT_EQ(ETIME, errno);
    double wall = converter_test::secondsSince(start);
    EXPECT_GE(wall, 0.45);
    EXPECT_LT(wall, 10.0) << "the wait outlived its deadline";
    EXPECT_LT(processCpuSeconds() - cpuBefore, 0.05);
}

TEST_F(PipeReadTest, PassedDeadlineFailsBeforeReading) {
    send(message(0, "ready"));
    char bytes[8];
    bool opened = false;
    EXPECT_FALSE(CConverterOffice::readMessageData(secondsFromNow(-1), 8, mFds[0], bytes, opened));
    EXPECT_EQ(ETIME, errno);
    EXPECT_FALSE(opened);
}

TEST_F(PipeReadTest, HeaderCompletedByALaterWriteIsJoined) {
    std::string whole = message(0, "");
    send(whole.substr(0, 3));
    int writeEnd = mFds[1];
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ssize_t written = ::write(writeEnd, whole.data() + 3, 5);
        (void)written;
    });
    msgheader header = {-1, 1};
    bool opened = false;
    EXPECT_TRUE(CConverterOffice::readHeader(mFds[0], header, opened, secondsFromNow(10)));
    late.join();
    EXPECT_EQ(0, header.type);
    EXPECT_EQ(0u, header.length);
    EXPECT_TRUE(opened);
}

TEST_F(PipeReadTest, EndOfStreamInsideATextIsAnError) {
    send("abc");
    closeWriteEnd();
    char bytes[8];
    EXPECT_FALSE(CConverterOffice::readMessage(mFds[0], bytes, 8, secondsFromNow(10)));
    EXPECT_EQ(EPIPE, errno);
}

TEST(ConverterDeadline, LimitIsRoundedUpToWholeSeconds) {
    struct Case {
        const char* limit;
        time_t seconds;
    } cases[] = {{"0.5", 1}, {"0", 0}, {"-3", 0}, {"2", 2}, {"2.01", 3}, {"nan", 0}};
    for (const Case& c : cases) {
        converter_test::setTimeLimit(c.limit);
        timespec kill;
        timespec start;
        ASSERT_TRUE(CConverterOffice::getKillTime(kill, start)) << c.limit;
        EXPECT_EQ(c.seconds, kill.tv_sec - start.tv_sec) << c.limit;
        EXPECT_EQ(start.tv_nsec, kill.tv_nsec) << c.limit;
    }
}

TEST(ConverterDeadline, AHugeLimitIsCappedAndNeverWrapsIntoThePast) {
    converter_test::setTimeLimit("1e300");
    timespec kill;
    timespec start;
    ASSERT_TRUE(CConverterOffice::getKillTime(kill, start));
    // 2^32 - 1 seconds, or as many as a 32-bit time_t has left.
    const long long room = static_cast<long long>(std::numeric_limits<time_t>::max()) - start.tv_sec;
    EXPECT_EQ(std::min(4294967295LL, room), static_cast<long long>(kill.tv_sec - start.tv_sec));
    EXPECT_TRUE(CConverterOffice::checktime(kill));
}

TEST(ConverterDeadline, ChecktimeIsTrueOnlyBeforeTheDeadline) {
    EXPECT_TRUE(CConverterOffice::checktime(secondsFromNow(5)));
    EXPECT_FALSE(CConverterOffice::checktime(secondsFromNow(-0.001)));
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    EXPECT_FALSE(CConverterOffice::checktime(now));
}

}  // namespace
