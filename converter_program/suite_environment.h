// The environment the office suite runs with.
//
// The converter inherits the browser's environment. The suite gets a copy
// without what would change which code it loads or how its embedded Python
// starts (PYTHON*, LD_*, UNO_PATH, URE_BOOTSTRAP), with PATH reduced to the
// system directories and HOME and TMPDIR in the conversion's work directory,
// so that nothing of one run lands in another's or the user's files. The
// export macro's inputs travel as RRZ_SOURCE, RRZ_TARGET, RRZ_RESULT and
// RRZ_OUTPUT_BUDGET; inherited RRZ_* variables are dropped.
#pragma once

#include <string>
#include <vector>

struct tSuiteEnvironmentInput {
    std::string workDir;     // ends with "/"
    std::string tempDir;     // TMPDIR
    std::string sourcePath;  // RRZ_SOURCE
    std::string targetPath;  // RRZ_TARGET
    std::string resultPath;  // RRZ_RESULT
    // RRZ_OUTPUT_BUDGET: the bytes of HTML the export should stay within
    // (it cuts large sheets to fit); 0 leaves it out.
    unsigned long long outputBudget = 0;
};

// "NAME=value" entries. inherited: a null-terminated list like environ.
std::vector<std::string> buildSuiteEnvironment(const char* const* inherited, const tSuiteEnvironmentInput& input);
