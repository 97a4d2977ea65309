// The converter tests' fixture: the converter stand-in is the configured
// converter, the time limit is 10 s unless a test sets another, and a test
// fails when it leaves a converter process or a descriptor behind.
#pragma once

#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

#include "params/office_params_base.h"
#include "params/office_plugin_params.h"
#include "tests/support/converter_stand_in.h"
#include "tests/support/files.h"
#include "tests/support/processes.h"
#include "tests/support/temp_dir.h"

namespace converter_test {

using namespace test_support;

// Points OFFICE_PLUGINS_BIN at dir and reads the configuration again.
inline void useConverterDir(const std::string& dir) {
    ::setenv("OFFICE_PLUGINS_BIN", dir.c_str(), 1);
    COfficeParamsBase::reload();
}

inline void setTimeLimit(const char* seconds) { ::setenv("OFFICE_PLUGINS_TIME_LIMIT", seconds, 1); }

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class ConverterTest : public ::testing::Test {
protected:
    // Before the members of derived fixtures, which may read the
    // configuration when they are built.
    ConverterTest() {
        useConverterDir(converterStandInDir());
        setTimeLimit("10");
        // As in the plug-in, the configuration singletons are made on one
        // thread before any conversion runs (making them takes no lock).
        COfficePluginParams::getInstance();
    }

    void SetUp() override { mDescriptors = openDescriptors(); }
    void TearDown() override {
        EXPECT_TRUE(eventually(hasNoChildren)) << "a converter process is left";
        EXPECT_EQ(mDescriptors, openDescriptors()) << "a descriptor is left open";
    }

    // Writes a stand-in script as a document in the temporary directory.
    std::string script(const std::string& name, const std::string& text) {
        std::string path = mDir / name;
        EXPECT_TRUE(writeFile(path, text));
        return path;
    }

    TempDir mDir;
    std::set<std::string> mDescriptors;
};

}  // namespace converter_test
