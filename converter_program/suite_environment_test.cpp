#include "converter_program/suite_environment.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool has(const std::vector<std::string>& env, const std::string& entry) {
    return std::find(env.begin(), env.end(), entry) != env.end();
}

bool hasName(const std::vector<std::string>& env, const std::string& name) {
    return std::any_of(env.begin(), env.end(),
                       [&](const std::string& entry) { return entry.compare(0, name.size() + 1, name + "=") == 0; });
}

TEST(SuiteEnvironment, BrowserVariablesThatBreakTheSuiteAreReplacedOrDropped) {
    const char* inherited[] = {"PATH=/opt/browser/bin:/usr/bin", "PYTHONPATH=/opt/browser/python",
                               "PYTHONHOME=/opt/py", "LD_LIBRARY_PATH=/opt/browser/lib", "LD_PRELOAD=/x.so",
                               "HOME=/home/user", "TMPDIR=/var/tmp", "UNO_PATH=/x", "URE_BOOTSTRAP=file:///x",
                               "RRZ_SOURCE=/evil", "LANG=de_DE.UTF-8", "OFFICE_PLUGINS_DATA=/data/", "NOEQUALS",
                               nullptr};
    tSuiteEnvironmentInput input;
    input.workDir = "/w/";
    input.tempDir = "/w/tmp";
    input.sourcePath = "/d/in.doc";
    input.targetPath = "/w/staging/index.html";
    input.resultPath = "/w/result";
    std::vector<std::string> env = buildSuiteEnvironment(inherited, input);
    EXPECT_TRUE(has(env, "LANG=de_DE.UTF-8"));
    EXPECT_TRUE(has(env, "OFFICE_PLUGINS_DATA=/data/"));
    EXPECT_TRUE(has(env, "PATH=/usr/bin:/bin"));
    EXPECT_TRUE(has(env, "HOME=/w/"));
    EXPECT_TRUE(has(env, "TMPDIR=/w/tmp"));
    EXPECT_TRUE(has(env, "RRZ_SOURCE=/d/in.doc"));
    EXPECT_TRUE(has(env, "RRZ_TARGET=/w/staging/index.html"));
    EXPECT_TRUE(has(env, "RRZ_RESULT=/w/result"));
    for (const char* gone : {"PYTHONPATH", "PYTHONHOME", "LD_LIBRARY_PATH", "LD_PRELOAD", "UNO_PATH", "URE_BOOTSTRAP"}) {
        EXPECT_FALSE(hasName(env, gone)) << gone;
    }
    EXPECT_FALSE(has(env, "NOEQUALS"));
    EXPECT_EQ(1, std::count_if(env.begin(), env.end(),
                               [](const std::string& e) { return e.compare(0, 5, "PATH=") == 0; }));
    EXPECT_EQ(1, std::count_if(env.begin(), env.end(),
                               [](const std::string& e) { return e.compare(0, 11, "RRZ_SOURCE=") == 0; }));
}

TEST(SuiteEnvironment, EmptyInheritedEnvironmentStillGetsTheSuiteVariables) {
    const char* inherited[] = {nullptr};
    std::vector<std::string> env = buildSuiteEnvironment(inherited, tSuiteEnvironmentInput());
    EXPECT_EQ(6u, env.size());
    EXPECT_EQ(6u, buildSuiteEnvironment(nullptr, tSuiteEnvironmentInput()).size());
}

}  // namespace
