// Helpers for the converter tests: the converter stand-in as the configured
// converter, temporary directories, scripts for the stand-in, and a check
// that a test leaves no child process and no descriptor behind.
#pragma once

#include "tests/support/open_descriptors.h"
#include "tests/support/temp_dir.h"

#include <dirent.h>
#include <ftw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "params/office_params_base.h"
#include "params/office_plugin_params.h"

namespace converter_test {

// Points OFFICE_PLUGINS_BIN at dir. The configuration reads it once per
// process, so this only works before the first use; false when the
// configuration already holds another directory (then the test skips).
inline bool useConverterDir(const std::string& dir) {
    ::setenv("OFFICE_PLUGINS_BIN", dir.c_str(), 1);
    const char* configured =
        COfficeParamsBase::getInstance()->getValue(COfficeParamsBase::BIN_PATH);
    return configured != nullptr && std::string(configured) == dir + "/";
}

inline void setTimeLimit(const char* seconds) { ::setenv("OFFICE_PLUGINS_TIME_LIMIT", seconds, 1); }

using test_support::TempDir;

inline bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out);
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Lines of a stand-in record file that start with key + "=", without it.
inline std::vector<std::string> recorded(const std::string& path, const std::string& key) {
    std::vector<std::string> values;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + "=") == 0) values.push_back(line.substr(key.size() + 1));
    }
    return values;
}

using test_support::openDescriptors;

// True when this process has no child at all, neither running nor a zombie.
inline bool hasNoChildren() {
    siginfo_t info;
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD;
}

// True when no process is left in the process group pgid.
inline bool groupIsGone(pid_t pgid) { return ::kill(-pgid, 0) != 0 && errno == ESRCH; }

// Waits up to timeoutMs for predicate to hold.
template <typename Predicate>
bool eventually(Predicate predicate, int timeoutMs = 2000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (predicate()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return predicate();
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Base fixture: the stand-in is the converter, the time limit is 10 s unless
// a test sets another, and TearDown fails the test if a converter process or
// a descriptor opened during the test is still there.
class ConverterTest : public ::testing::Test {
protected:
    // Before the members of derived fixtures, which may read the
    // configuration when they are built.
    ConverterTest() : mConfigured(useConverterDir(RRZ_CONVERTER_STUB_DIR)) {}

    void SetUp() override {
        if (!mConfigured) {
            GTEST_SKIP() << "configuration already read in this process";
        }
        setTimeLimit("10");
        // As in the plug-in, the configuration singletons are created on one
        // thread before any conversion runs (their creation takes no lock).
        COfficePluginParams::getInstance();
        mDescriptors = openDescriptors();
    }
    void TearDown() override {
        if (IsSkipped()) return;
        EXPECT_TRUE(eventually(hasNoChildren)) << "a converter process is left";
        EXPECT_EQ(mDescriptors, openDescriptors()) << "a descriptor is left open";
    }

    // Writes a stand-in script as a document in the temporary directory.
    std::string script(const std::string& name, const std::string& text) {
        std::string path = mDir / name;
        EXPECT_TRUE(writeFile(path, text));
        return path;
    }

    bool mConfigured;
    TempDir mDir;
    std::set<std::string> mDescriptors;
};

}  // namespace converter_test
