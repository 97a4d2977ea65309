// Naming a new document's file, the space check before it, and the
// converter's output directory next to it.
#include <gtest/gtest.h>

#include <regex>

#include "storage/storage_manager.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class StorageDocuments : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_TRUE(mManager.init());
    }
    CStorageManager mManager;
};

TEST_F(StorageDocuments, AnnouncedSizeMustFitThreeTimesIntoTheBudget) {
    struct Row {
        UInt32 size;
        bool accepted;
    } rows[] = {
        {0, true},
        {34952533, true},  // 3 x = 104857599
        {34952534, false},
        // Three times these is 2^32 + 2 and 3 * (2^32 - 1): wrapped to 32
        // bits the first would pass.
        {0x55555556u, false},
        {0xFFFFFFFFu, false},
    };
    for (const Row& row : rows) {
        LogCapture capture;
        EXPECT_EQ(row.accepted, !mManager.newDocument("doc", row.size).isEmpty()) << row.size;
        EXPECT_EQ(!row.accepted,
                  capture.contains("CStorageManager::newDocument: Can't allocate disk space for document", 1))
            << row.size;
    }
}

TEST_F(StorageDocuments, NewDocumentIsNamedByTimeAndRandomNumberAndCreatesNoFile) {
    LogCapture capture;
    std::string path = mManager.newDocument("pptx", 10).c_str();
    std::string prefix = dataDir() + "/files/";
    ASSERT_EQ(prefix, path.substr(0, prefix.size()));
    EXPECT_TRUE(std::regex_match(path.substr(prefix.size()), std::regex("[0-9]{19,}_[0-9]+\\.pptx"))) << path;
    EXPECT_TRUE(capture.contains("CStorageManager::newDocument: filePath: " + path, 0));
    EXPECT_FALSE(exists(path));
    EXPECT_NE(CStorageManager::generateFilename("x"), CStorageManager::generateFilename("x"));
}

TEST_F(StorageDocuments, DestinationDirectoryIsCreatedNextToTheFile) {
    LogCapture capture;
    CQVString file = (filesDir() + "a.docx").c_str();
    CQVString destination = mManager.getDestinationDirectory(file);
    EXPECT_EQ(filesDir() + "a.docx_files/", destination.c_str());
    EXPECT_TRUE(exists(destination.c_str()));
    EXPECT_EQ(destination, mManager.getDestinationDirectory(file));  // again: no failure
    EXPECT_FALSE(capture.contains("Can't create directory"));

    ASSERT_TRUE(writeFile(filesDir() + "plain", "a file, not a directory"));
    destination = mManager.getDestinationDirectory((filesDir() + "plain/doc.docx").c_str());
    EXPECT_EQ(filesDir() + "plain/doc.docx_files/", destination.c_str());
    EXPECT_TRUE(capture.contains("Can't create directory " + filesDir() + "plain/doc.docx_files/", 2));
}

}  // namespace
