#include "converter_program/suite_profile.h"

#include <gtest/gtest.h>

#include "converter_program/office_macro.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

// The macro the suite runs, and the version seed that spares it the work of
// a first start after an update; no seed without a version.
TEST(SuiteProfile, ProfileHoldsTheMacroAndTheVersionSeed) {
    test_support::TempDir dir("rrz_profile");
    ASSERT_TRUE(NSuiteProfile::create(dir.path() + "/", "7.4"));
    EXPECT_EQ(NSuiteProfile::sExportMacroText,
              test_support::readFile(dir / "user/Scripts/python/" + NSuiteProfile::sExportMacroName));
    const std::string seed = test_support::readFile(dir / "user/registrymodifications.xcu");
    EXPECT_NE(std::string::npos,
              seed.find("<prop oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>7.4</value></prop>"));
    test_support::removeTree(dir / "user");
    ASSERT_TRUE(NSuiteProfile::create(dir.path() + "/", ""));
    EXPECT_FALSE(test_support::exists(dir / "user/registrymodifications.xcu"));
    EXPECT_FALSE(NSuiteProfile::create(dir / "missing/", "7.4"));
}

}  // namespace
