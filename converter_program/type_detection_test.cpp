#include "converter_program/type_detection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

class TypeDetectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(mTemp.path().empty());
        mDir = mTemp.path() + "/";
    }
    std::string file(const std::string& bytes) {
        std::string path = mDir + "f" + std::to_string(++mCount);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    test_support::TempDir mTemp{"rrz_detect"};
    std::string mDir;
    int mCount = 0;
};

TEST_F(TypeDetectionTest, ContainersAreKnownByTheirFirstBytesNotTheirNames) {
    EXPECT_EQ(eContainerCompound, detectContainer(file(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1rest", 12))));
    EXPECT_EQ(eContainerZip, detectContainer(file(std::string("PK\x03\x04", 4))));
    EXPECT_EQ(eContainerUnknown, detectContainer(file(std::string("PK\x05\x06", 4))));
    EXPECT_EQ(eContainerUnknown, detectContainer(file("{\\rtf1 plain}")));
    EXPECT_EQ(eContainerUnknown, detectContainer(file(std::string("\xD0\xCF\x11\xE0", 4))));
    EXPECT_EQ(eContainerEmpty, detectContainer(file("")));
}

TEST_F(TypeDetectionTest, MissingFilesAndNonRegularFilesAreUnreadable) {
    EXPECT_EQ(eContainerUnreadable, detectContainer(mDir + "missing"));
    EXPECT_EQ(ENOENT, errno);
    EXPECT_EQ(eContainerUnreadable, detectContainer(mDir));
    std::string fifo = mDir + "fifo";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    EXPECT_EQ(eContainerUnreadable, detectContainer(fifo));
    EXPECT_EQ(EINVAL, errno);
}

}  // namespace
