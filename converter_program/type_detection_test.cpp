#include "converter_program/type_detection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "converter_program/staging.h"

namespace {

class TypeDetectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/rrz_detect_XXXXXX";
        ASSERT_NE(nullptr, ::mkdtemp(pattern));
        mDir = std::string(pattern) + "/";
    }
    void TearDown() override { NStaging::removeTree(mDir); }
    std::string file(const std::string& bytes) {
        std::string path = mDir + "f" + std::to_string(++mCount);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
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
