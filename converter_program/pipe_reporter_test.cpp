#include "converter_program/pipe_reporter.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "converter/msg_header.h"

namespace {

// The bytes on the pipe: per report one 8-byte header in native byte order
// (type, length) and the text without a terminator, "-" for an empty text
// (a zero length ends the plug-in's reading), a long text cut so that the
// message is one atomic write of PIPE_BUF bytes.
TEST(PipeReporter, EachReportIsOneMessageOfTheWireFormat) {
    int fds[2];
    ASSERT_EQ(0, ::pipe2(fds, O_CLOEXEC | O_NONBLOCK));
    CPipeReporter reporter(fds[1]);
    reporter.report(CPipeReporter::WARNING, "ab%s");
    reporter.reportf(CPipeReporter::ERROR, "n=%d", 42);
    reporter.report(CPipeReporter::MESSAGE, "");
    reporter.report(CPipeReporter::MESSAGE, std::string(3 * PIPE_BUF, 'x'));
    reporter.close();
    reporter.close();  // once: by now the number may be another file's
    std::string expected;
    const std::pair<int, std::string> kMessages[] = {
        {1, "ab%s"}, {2, "n=42"}, {0, "-"}, {0, std::string(PIPE_BUF - sizeof(msgheader), 'x')}};
    for (const auto& message : kMessages) {
        const msgheader header = {message.first, static_cast<UInt32>(message.second.size())};
        expected.append(reinterpret_cast<const char*>(&header), sizeof header).append(message.second);
    }
    std::string bytes(4 * PIPE_BUF, '\0');
    bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(fds[0], &bytes[0], bytes.size()))));
    EXPECT_TRUE(expected == bytes) << bytes.size() << " bytes, " << expected.size() << " expected";
    EXPECT_EQ(0, ::read(fds[0], &expected[0], 1));  // end of file: the write end is closed
    ::close(fds[0]);
}

// A reader that has gone costs the converter its pipe, not its life.
TEST(PipeReporter, GoneReaderIsGivenUp) {
    int fds[2];
    ASSERT_EQ(0, ::pipe2(fds, O_CLOEXEC));
    ::close(fds[0]);
    void (*previous)(int) = ::signal(SIGPIPE, SIG_IGN);
    CPipeReporter reporter(fds[1]);
    reporter.report(CPipeReporter::MESSAGE, "first");
    EXPECT_EQ(-1, ::fcntl(fds[1], F_GETFD));  // closed
    reporter.report(CPipeReporter::MESSAGE, "second");
    ::signal(SIGPIPE, previous);
}

}  // namespace
