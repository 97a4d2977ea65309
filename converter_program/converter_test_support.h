// For the tests that drive the built DerazoZoraveMain (whose target defines
// RRZ_CONVERTER_PATH and RRZ_SAMPLES_DIR): running it the way the plug-in
// does, in its own process group with a pipe's write end as argument 3, and
// reading its pipe messages; the sample documents; suite processes.
#pragma once

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "converter/msg_header.h"
#include "converter_program/converter_settings.h"
#include "tests/support/files.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace NConverterTest {

using test_support::eventually;
using test_support::exists;
using test_support::readFile;
using test_support::TempDir;

// One run of the converter; the destructor kills its group if it still runs.
class CConverterProcess {
public:
    CConverterProcess() = default;
    CConverterProcess(const CConverterProcess&) = delete;
    CConverterProcess& operator=(const CConverterProcess&) = delete;
    ~CConverterProcess() {
        if (mPid > 0) {
            ::kill(-mPid, SIGKILL);
            ::waitpid(mPid, nullptr, 0);
        }
        if (mReadFd >= 0) ::close(mReadFd);
    }

    // Starts the converter with extraEnv ("NAME=value") added to its
    // environment, which has no office suite service unless they give one.
    bool start(const std::string& source, const std::string& entryPage,
               const std::vector<std::string>& extraEnv = std::vector<std::string>()) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return false;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            ::fcntl(fds[1], F_SETFD, 0);
            ::putenv(const_cast<char*>("OFFICE_PLUGINS_CONVERTER_IDLE=0"));
            for (const std::string& entry : extraEnv) ::putenv(const_cast<char*>(entry.c_str()));
            const std::string fd = std::to_string(fds[1]);
            const char* argv[] = {RRZ_CONVERTER_PATH, source.c_str(), entryPage.c_str(), fd.c_str(), nullptr};
            ::execv(RRZ_CONVERTER_PATH, const_cast<char* const*>(argv));
            ::_exit(127);
        }
        ::close(fds[1]);
        if (pid > 0) ::setpgid(pid, pid);  // either side may win the race
        mPid = pid;
        mReadFd = fds[0];
        return pid > 0;
    }

    // Reads messages until the converter closes the pipe, then reaps it.
    // False when the pipe carried anything but well-formed messages.
    bool finish() {
        std::string bytes;
        char buffer[4096];
        for (ssize_t n; (n = ::read(mReadFd, buffer, sizeof buffer)) != 0 && (n > 0 || errno == EINTR);) {
            bytes.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        }
        bool wellFormed = true;
        msgheader header = {0, 0};
        for (std::size_t at = 0; wellFormed && at < bytes.size(); at += sizeof header + header.length) {
            wellFormed = bytes.size() - at >= sizeof header;
            if (wellFormed) std::memcpy(&header, bytes.data() + at, sizeof header);
            const std::size_t left = bytes.size() - at - (wellFormed ? sizeof header : 0);
            wellFormed = wellFormed && header.type >= 0 && header.type <= 2 && header.length > 0 &&
                         header.length <= PIPE_BUF - sizeof header && header.length <= left;
            if (wellFormed) mMessages.emplace_back(header.type, bytes.substr(at + sizeof header, header.length));
        }
        int status = 0;
        while (::waitpid(mPid, &status, 0) < 0 && errno == EINTR) {
        }
        mExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        mPid = -1;
        return wellFormed;
    }

    pid_t pid() const { return mPid; }  // also its process group; -1 once reaped
    int readFd() const { return mReadFd; }
    int exitStatus() const { return mExitStatus; }  // exit code, or 128 + signal

    // Whether a message of type (0 message, 1 warning, 2 error; -1 any) holds part.
    bool hasMessage(int type, const std::string& part) const {
        return std::any_of(mMessages.begin(), mMessages.end(), [&](const std::pair<int, std::string>& message) {
            return (type < 0 || message.first == type) && message.second.find(part) != std::string::npos;
        });
    }
    std::string transcript() const {  // "<type>: <text>" lines
        std::string text;
        for (const auto& message : mMessages) text += std::to_string(message.first) + ": " + message.second + "\n";
        return text;
    }

private:
    pid_t mPid = -1;
    int mReadFd = -1;
    int mExitStatus = -1;
    std::vector<std::pair<int, std::string>> mMessages;
};

// The generated sample document's path, or empty when samples were not made.
inline std::string sample(const std::string& name) {
    const std::string path = std::string(RRZ_SAMPLES_DIR) + "/" + name;
    return exists(std::string(RRZ_SAMPLES_DIR) + "/stamp") && exists(path) ? path : std::string();
}

#define RRZ_REQUIRE_OFFICE_SUITE()                                                                  \
    if (::access(sDefaultSuiteProgram, X_OK) != 0 || NConverterTest::sample("sample.doc").empty()) { \
        GTEST_SKIP() << "office suite or sample documents not installed";                          \
    }

// Office suite processes whose command line mentions part (a directory).
inline std::vector<pid_t> suitesUnder(const std::string& part) {
    return test_support::processesUnder(sDefaultSuiteProgram, part);
}

// Every regular file below dir by its path relative to dir, with its bytes,
// in name order.
inline std::vector<std::pair<std::string, std::string>> filesBelow(const std::string& dir) {
    std::vector<std::pair<std::string, std::string>> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir, error)) {
        if (entry.is_regular_file()) files.emplace_back(entry.path().lexically_relative(dir), readFile(entry.path()));
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace NConverterTest
