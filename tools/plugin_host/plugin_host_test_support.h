// Running plugin-host from a test: a private storage directory and
// shared-memory prefix per test, and the program's output and exit status.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

struct HostRun {
    int status = -1;
    std::string output;
    double seconds = 0;
};

class PluginHostTest : public ::testing::Test {
protected:
    // Call from SetUp with the directory of the DerazoZoraveMain to run.
    void prepare(const std::string& converterDir, int timeLimit) {
        ASSERT_FALSE(mTemp.path().empty());
        mRoot = mTemp.path();
        mShmPrefix = "rrz-host-" + std::to_string(getpid()) + "-";
        mEnvironment = "OFFICE_PLUGINS_DATA='" + mRoot + "/data' OFFICE_PLUGINS_BIN='" + converterDir +
                       "' QV_SHM_PREFIX='" + mShmPrefix + "' OFFICE_PLUGINS_TIME_LIMIT=" +
                       std::to_string(timeLimit) + " ";
    }

    void TearDown() override {
        if (mRoot.empty()) return;
        unlink(("/dev/shm/" + mShmPrefix + "officeplugin_storage_mutex").c_str());
    }

    HostRun run(const std::string& arguments) {
        HostRun result;
        auto started = std::chrono::steady_clock::now();
        FILE* pipe = popen((mEnvironment + RRZ_PLUGIN_HOST " " + arguments + " 2>&1").c_str(), "r");
        if (pipe == nullptr) return result;
        std::array<char, 4096> buffer;
        size_t n;
        while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
        int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return result;
    }

    test_support::TempDir mTemp{"rrz-plugin-host"};
    std::string mRoot;
    std::string mShmPrefix;
    std::string mEnvironment;
};
