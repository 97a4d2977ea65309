#include "converter_program/suite_runner.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "converter_program/staging.h"
#include "converter_program/suite_process.h"
#include "converter_program/suite_profile.h"

const int sSuiteRestartStatus = 81;

namespace {

const int sPollMs = 50;
const int sExitGraceMs = 5000;

int statusCode(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void sleepMs(int ms) {
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

void killAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

bool exists(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

// One start of the suite, watched until it ends. True when it ended (report
// holds its status), false when it was killed at the cap or not started.
bool runOnce(const tSuiteRun& run, tSuiteReport& report) {
    std::vector<std::string> args = {
        "--headless", "--invisible", "--nologo", "--norestore", "--nodefault", "--nolockcheck",
        "-env:UserInstallation=" + NSuiteProfile::fileUrl(run.profileDir.substr(0, run.profileDir.size() - 1)),
        NSuiteProfile::sMacroUrl};
    pid_t pid = spawnSuite(run.program, args, run.environment, run.logPath);
    if (pid < 0) {
        report.outcome = eSuiteStartFailed;
        report.startError = errno;
        return false;
    }
    ++report.starts;
    int graceLeft = sExitGraceMs;
    for (;;) {
        int status = 0;
        pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            report.exitStatus = statusCode(status);
            break;
        }
        if (ended < 0 && errno != EINTR) {
            report.exitStatus = -1;
            break;
        }
        unsigned long long size = 0;
        NStaging::treeSize(run.stagingDir, size);
        report.outputSize = size;
        if (size > run.outputLimit) {
            killAndReap(pid);
            report.outcome = eSuiteOutputTooLarge;
            return false;
        }
        if (exists(run.resultPath)) {
            graceLeft -= sPollMs;
            if (graceLeft <= 0) {
                killAndReap(pid);
                report.exitStatus = 128 + SIGKILL;
                break;
            }
        }
        sleepMs(sPollMs);
    }
    unsigned long long size = 0;
    NStaging::treeSize(run.stagingDir, size);
    report.outputSize = size;
    if (size > run.outputLimit) {
        report.outcome = eSuiteOutputTooLarge;
        return false;
    }
    report.outcome = eSuiteFinished;
    return true;
}

}  // namespace

tSuiteReport runSuite(const tSuiteRun& run) {
    tSuiteReport report;
    if (runOnce(run, report) && report.exitStatus == sSuiteRestartStatus && !exists(run.resultPath)) {
        runOnce(run, report);
    }
    return report;
}
