#include "converter_program/suite_profile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "converter_program/office_macro.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

class SuiteProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(mTemp.path().empty());
        mDir = mTemp.path() + "/";
    }
    // An install tree with main.xcd holding text.
    std::string install(const std::string& xcd) {
        ::mkdir((mDir + "program").c_str(), 0700);
        ::mkdir((mDir + "share").c_str(), 0700);
        ::mkdir((mDir + "share/registry").c_str(), 0700);
        std::ofstream(mDir + "share/registry/main.xcd") << xcd;
        return mDir + "program/soffice.bin";
    }
    test_support::TempDir mTemp{"rrz_profile"};
    std::string mDir;
};

TEST_F(SuiteProfileTest, ProductVersionIsReadFromTheSuiteConfiguration) {
    std::string program = install(
        "<prop oor:name=\"ooSetupVersionAboutBox\">\n <value>7.4.7.2</value>\n</prop>"
        "<prop oor:name=\"ooSetupVersion\">\n        <value>7.4</value>\n      </prop>");
    EXPECT_EQ("7.4", NSuiteProfile::productVersion(program));
}

TEST_F(SuiteProfileTest, MissingOrOddVersionGivesEmpty) {
    EXPECT_EQ("", NSuiteProfile::productVersion(mDir + "program/soffice.bin"));
    std::string program = install("<prop oor:name=\"ooSetupVersion\"><value>7.4\"/><x></value></prop>");
    EXPECT_EQ("", NSuiteProfile::productVersion(program));
}

TEST_F(SuiteProfileTest, ProfileHoldsTheMacroAndTheVersionSeed) {
    ASSERT_TRUE(NSuiteProfile::create(mDir, "7.4"));
    EXPECT_EQ(std::string(NSuiteProfile::sExportMacroText),
              test_support::readFile(mDir + "user/Scripts/python/" + NSuiteProfile::sExportMacroName));
    std::string seed = test_support::readFile(mDir + "user/registrymodifications.xcu");
    EXPECT_NE(std::string::npos,
              seed.find("<prop oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>7.4</value></prop>"));
    // The macro that was compiled in is the one the suite can call.
    EXPECT_NE(std::string::npos, std::string(NSuiteProfile::sExportMacroText).find("\ndef export("));
    EXPECT_NE(std::string::npos, std::string(NSuiteProfile::sMacroUrl).find("office_export.py$export?"));
}

TEST_F(SuiteProfileTest, NoVersionNoSeed) {
    ASSERT_TRUE(NSuiteProfile::create(mDir, ""));
    struct stat status;
    EXPECT_NE(0, ::stat((mDir + "user/registrymodifications.xcu").c_str(), &status));
    EXPECT_FALSE(NSuiteProfile::create(mDir + "missing/", "7.4"));
}

TEST(SuiteProfileUrl, EverythingButUnreservedCharactersIsEncoded) {
    EXPECT_EQ("file:///tmp/a%20b/%25x%23y%3Fz/%C3%A4-_.~", NSuiteProfile::fileUrl("/tmp/a b/%x#y?z/\xC3\xA4-_.~"));
}

}  // namespace
