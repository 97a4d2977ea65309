// One run of the office suite's export: starts the suite on the export
// macro with a private profile, watches it and the size of its output, and
// starts it once more when it asks for a restart (exit status 81, which a
// fresh profile causes on its first start).
//
// The output cap: every sPollMs the staging directory is measured; past
// outputLimit bytes the suite is killed and the run ends with
// eSuiteOutputTooLarge. A suite that has written its result file but does
// not end within 5 seconds is killed and counts as finished.
//
// REQUIRES: single-threaded process (see suite_process.h); the caller reaps
// nothing itself. The run blocks until the suite is gone.
#pragma once

#include <string>
#include <vector>

enum eSuiteOutcome {
    eSuiteFinished,        // ended by itself (any status) or after its result
    eSuiteStartFailed,     // could not be executed (errno in startError)
    eSuiteOutputTooLarge,  // killed at the output cap
};

struct tSuiteRun {
    std::string program;
    std::string profileDir;  // ends with "/"
    std::string stagingDir;  // measured for the cap
    std::string resultPath;  // written by the macro at its end
    std::string logPath;     // the suite's stdout and stderr
    std::vector<std::string> environment;
    unsigned long long outputLimit = 0;
};

struct tSuiteReport {
    eSuiteOutcome outcome = eSuiteStartFailed;
    int startError = 0;
    int exitStatus = -1;  // exit code, or 128 + signal
    int starts = 0;
    unsigned long long outputSize = 0;
};

extern const int sSuiteRestartStatus;

tSuiteReport runSuite(const tSuiteRun& run);
