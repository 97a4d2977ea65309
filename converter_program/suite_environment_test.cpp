#include "converter_program/suite_environment.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<std::string> sorted(std::vector<std::string> entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

// What the browser's environment would break in the suite (its libraries,
// its Python, its files) is dropped or replaced; the rest is kept.
TEST(SuiteEnvironment, BrowserVariablesThatBreakTheSuiteAreReplacedOrDropped) {
    const char* inherited[] = {"PATH=/opt/browser/bin:/usr/bin", "PYTHONPATH=/opt/browser/python", "PYTHONHOME=/opt/py",
                               "LD_LIBRARY_PATH=/opt/browser/lib", "LD_PRELOAD=/x.so", "HOME=/home/user",
                               "TMPDIR=/var/tmp", "UNO_PATH=/x", "URE_BOOTSTRAP=file:///x", "RRZ_SOURCE=/evil",
                               "LANG=de_DE.UTF-8", "OFFICE_PLUGINS_DATA=/data/", "NOEQUALS", nullptr};
    const tSuiteEnvironmentInput input = {"/w/", "/w/tmp", "/d/in.doc", "/w/staging/index.html", "/w/result"};
    const std::vector<std::string> own = {"PATH=/usr/bin:/bin", "HOME=/w/", "TMPDIR=/w/tmp", "RRZ_SOURCE=/d/in.doc",
                                          "RRZ_TARGET=/w/staging/index.html", "RRZ_RESULT=/w/result"};
    std::vector<std::string> expected = own;
    expected.insert(expected.end(), {"LANG=de_DE.UTF-8", "OFFICE_PLUGINS_DATA=/data/"});
    EXPECT_EQ(sorted(expected), sorted(buildSuiteEnvironment(inherited, input)));
    EXPECT_EQ(sorted(own), sorted(buildSuiteEnvironment(nullptr, input)));
}

}  // namespace
