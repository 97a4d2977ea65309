// Running the built DerazoZoraveMain the way the plug-in does (its own
// process group, a pipe's write end as argument 3) and reading its pipe
// messages, for the tests that drive the real program.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace NConverterTest {

using test_support::exists;
using test_support::readFile;

struct tMessage {
    int type;
    std::string text;
};

class CConverterProcess {
public:
    CConverterProcess() = default;
    // Kills the converter's group if it still runs.
    ~CConverterProcess();

    // Starts the converter; extraEnv entries "NAME=value" are added to this
    // process's environment for it.
    bool start(const std::string& source, const std::string& entryPage,
               const std::vector<std::string>& extraEnv = std::vector<std::string>());
    // Reads messages until the converter closes the pipe, then reaps it.
    // False when the pipe carried anything but well-formed messages.
    bool finish();

    pid_t pid() const { return mPid; }
    int readFd() const { return mReadFd; }
    int exitStatus() const { return mExitStatus; }  // exit code, or 128 + signal
    double seconds() const { return mSeconds; }
    const std::vector<tMessage>& messages() const { return mMessages; }
    bool hasMessage(int type, const std::string& part) const;
    std::string transcript() const;

private:
    pid_t mPid = -1;
    int mReadFd = -1;
    int mExitStatus = -1;
    double mSeconds = 0;
    double mStart = 0;
    std::vector<tMessage> mMessages;
};

bool officeSuiteInstalled();
// The generated sample document name, or empty when samples were not made.
std::string sample(const std::string& name);

// A fresh directory below /tmp, removed with everything in it at the end.
class CTempDir {
public:
    const std::string& path() const { return mPath; }  // ends with "/"
private:
    test_support::TempDir mDir{"rrz_convert"};
    std::string mPath = mDir.path() + "/";
};

// Pids of the processes whose process group is pgid.
std::vector<pid_t> processesInGroup(pid_t pgid);
// Pids of soffice.bin processes whose command line mentions part.
std::vector<pid_t> suiteProcessesMentioning(const std::string& part);
// Names below dir that start with ".convert-".
std::vector<std::string> workDirsIn(const std::string& dir);

// Every regular file below dir by its path relative to dir, with its bytes.
std::vector<std::pair<std::string, std::string>> filesBelow(const std::string& dir);

// Polls condition every 20 ms for up to timeoutMs; its last answer.
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (condition()) {
            return true;
        }
        ::usleep(20000);
    }
    return condition();
}

// An office suite service that belongs to one test: its own directory,
// the idle limit the test chooses; stopped (and waited for, suites
// included) at the end.
class CTestService {
public:
    CTestService(const std::string& dir, int idleSeconds);
    ~CTestService();
    const std::string& dir() const { return mDir; }  // ends with "/"
    // Environment entries for CConverterProcess::start.
    std::vector<std::string> environment() const;
    // A number from the service's status line ("suite", "service",
    // "converting"), or -1 when no service answers.
    long status(const std::string& name) const;
    // No service holds the directory and no suite of it runs.
    bool gone() const;

private:
    std::string mDir;
    int mIdleSeconds;
};

}  // namespace NConverterTest
