#include "converter_program/pipe_reporter.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "converter/msg_header.h"

namespace {

class PipeReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, ::pipe2(mFds, O_CLOEXEC));
        ASSERT_EQ(0, ::fcntl(mFds[0], F_SETFL, O_NONBLOCK));
    }
    void TearDown() override {
        if (mFds[0] >= 0) {
            ::close(mFds[0]);
        }
    }
    // Everything written so far.
    std::string drain() {
        std::string bytes;
        char buffer[8192];
        ssize_t n;
        while ((n = ::read(mFds[0], buffer, sizeof buffer)) > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return bytes;
    }
    int mFds[2] = {-1, -1};
};

TEST_F(PipeReporterTest, WritesNativeHeaderThenTextWithoutTerminator) {
    CPipeReporter reporter(mFds[1]);
    reporter.report(CPipeReporter::WARNING, "ab%s");
    reporter.reportf(CPipeReporter::ERROR, "n=%d", 42);
    std::string bytes = drain();
    ASSERT_EQ(8u + 4u + 8u + 4u, bytes.size());
    msgheader header;
    std::memcpy(&header, bytes.data(), 8);
    EXPECT_EQ(1, header.type);
    EXPECT_EQ(4u, header.length);
    EXPECT_EQ("ab%s", bytes.substr(8, 4));
    std::memcpy(&header, bytes.data() + 12, 8);
    EXPECT_EQ(2, header.type);
    EXPECT_EQ(4u, header.length);
    EXPECT_EQ("n=42", bytes.substr(20, 4));
}

TEST_F(PipeReporterTest, EmptyTextIsSentAsDashBecauseZeroLengthEndsTheListener) {
    CPipeReporter reporter(mFds[1]);
    reporter.report(CPipeReporter::MESSAGE, "");
    std::string bytes = drain();
    ASSERT_EQ(9u, bytes.size());
    msgheader header;
    std::memcpy(&header, bytes.data(), 8);
    EXPECT_EQ(1u, header.length);
    EXPECT_EQ('-', bytes[8]);
}

TEST_F(PipeReporterTest, LongTextIsCutToOneAtomicPipeWrite) {
    CPipeReporter reporter(mFds[1]);
    reporter.report(CPipeReporter::MESSAGE, std::string(10000, 'x'));
    std::string bytes = drain();
    ASSERT_EQ(static_cast<std::size_t>(PIPE_BUF), bytes.size());
    msgheader header;
    std::memcpy(&header, bytes.data(), 8);
    EXPECT_EQ(PIPE_BUF - 8u, header.length);
}

TEST_F(PipeReporterTest, GoneReaderIsGivenUpWithoutSignal) {
    void (*previous)(int) = ::signal(SIGPIPE, SIG_IGN);
    CPipeReporter reporter(mFds[1]);
    ::close(mFds[0]);
    mFds[0] = -1;
    reporter.report(CPipeReporter::MESSAGE, "first");
    EXPECT_FALSE(reporter.isPipeOpen());
    reporter.report(CPipeReporter::MESSAGE, "second");
    ::signal(SIGPIPE, previous);
}

TEST_F(PipeReporterTest, CloseClosesTheWriteEndOnce) {
    CPipeReporter reporter(mFds[1]);
    reporter.close();
    reporter.close();
    char byte;
    EXPECT_EQ(0, ::read(mFds[0], &byte, 1));  // end of file: no writer left
}

}  // namespace
