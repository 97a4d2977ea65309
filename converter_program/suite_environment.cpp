#include "converter_program/suite_environment.h"

#include <cstring>

namespace {

bool startsWith(const char* entry, const char* prefix) {
    return std::strncmp(entry, prefix, std::strlen(prefix)) == 0;
}

bool isReplaced(const char* entry) {
    static const char* const kPrefixes[] = {"PYTHON", "LD_", "RRZ_"};
    for (const char* prefix : kPrefixes) {
        if (startsWith(entry, prefix)) {
            return true;
        }
    }
    static const char* const kNames[] = {"PATH=", "HOME=", "TMPDIR=", "UNO_PATH=", "URE_BOOTSTRAP="};
    for (const char* name : kNames) {
        if (startsWith(entry, name)) {
            return true;
        }
    }
    return std::strchr(entry, '=') == nullptr;
}

}  // namespace

std::vector<std::string> buildSuiteEnvironment(const char* const* inherited, const tSuiteEnvironmentInput& input) {
    std::vector<std::string> result;
    for (const char* const* entry = inherited; entry != nullptr && *entry != nullptr; ++entry) {
        if (!isReplaced(*entry)) {
            result.push_back(*entry);
        }
    }
    result.push_back("PATH=/usr/bin:/bin");
    result.push_back("HOME=" + input.workDir);
    result.push_back("TMPDIR=" + input.tempDir);
    result.push_back("RRZ_SOURCE=" + input.sourcePath);
    result.push_back("RRZ_TARGET=" + input.targetPath);
    result.push_back("RRZ_RESULT=" + input.resultPath);
    if (input.outputBudget > 0) result.push_back("RRZ_OUTPUT_BUDGET=" + std::to_string(input.outputBudget));
    return result;
}
