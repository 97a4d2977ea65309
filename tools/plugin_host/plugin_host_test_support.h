// Running plugin-host from a test: a private storage directory and
// shared-memory prefix per test, and the program's output and exit status.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/support/temp_dir.h"

struct HostRun {
    int status = -1;
    std::string output;
};

class PluginHostTest : public ::testing::Test {
protected:
    // Call from SetUp with the directory of the DerazoZoraveMain to run.
    void prepare(const std::string& converterDir, int timeLimit) {
        ASSERT_FALSE(mTemp.path().empty());
        mRoot = mTemp.path();
        mShmPrefix = "rrz-host-" + std::to_string(getpid()) + "-";
        mEnvironment = "OFFICE_PLUGINS_DATA='" + mRoot + "/data' OFFICE_PLUGINS_BIN='" + converterDir +
                       "' QV_SHM_PREFIX='" + mShmPrefix + "' OFFICE_PLUGINS_TIME_LIMIT=" + std::to_string(timeLimit) + " ";
    }
    void TearDown() override {
        if (!mRoot.empty()) unlink(("/dev/shm/" + mShmPrefix + "officeplugin_storage_mutex").c_str());
    }
    // Starts plugin-host with the arguments (shell words); finish() waits for it.
    FILE* start(const std::string& arguments) {
        return popen((mEnvironment + RRZ_PLUGIN_HOST " " + arguments + " 2>&1").c_str(), "r");
    }
    static HostRun finish(FILE* pipe) {
        HostRun result;
        if (pipe == nullptr) return result;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) result.output.append(buffer, n);
        int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }
    HostRun run(const std::string& arguments) { return finish(start(arguments)); }

    test_support::TempDir mTemp{"rrz-plugin-host"};
    std::string mRoot, mShmPrefix, mEnvironment;
};
