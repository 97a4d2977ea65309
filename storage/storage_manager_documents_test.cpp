#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>
#include <regex>

#include "platform/qv_file_operations.h"
#include "storage/document_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class StorageDocuments : public DocumentTest {
protected:
    TQVVector<CStorageManager::CacheEntry> records() {
        TQVVector<CStorageManager::CacheEntry> list;
        mManager.readCache(list);
        return list;
    }
    // Names in dir other than "." and "..".
    std::set<std::string> names(const std::string& dir) {
        std::set<std::string> found;
        if (DIR* handle = ::opendir(dir.c_str())) {
            while (struct dirent* entry = ::readdir(handle)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..") found.insert(name);
            }
            ::closedir(handle);
        }
        return found;
    }
    // The worker's road for one document: lookup, on a miss conversion and
    // recording. Returns the page to open, or "" when the conversion failed.
    std::string show(CDocument& document) {
        CQVString path;
        if (mManager.findDocumentInCache(document.getMD5(), path)) return path.c_str();
        CQVString destination = mManager.getDestinationDirectory(document);
        CQVString entryPoint;
        if (!document.convert(destination, entryPoint)) return "";
        return mManager.addDocumentToCache(document.getMD5(), destination, entryPoint).c_str();
    }
};

TEST_F(StorageDocuments, AnnouncedSizeMustFitThreeTimesIntoTheBudget) {
    LogCapture capture;
    EXPECT_FALSE(mManager.newDocument("doc", 34952533).isNull());
    EXPECT_FALSE(capture.contains("Can't allocate disk space for document"));
    EXPECT_TRUE(mManager.newDocument("doc", 34952534).isNull());
    EXPECT_TRUE(capture.contains("Required size is more than storage size", 1));
    EXPECT_TRUE(capture.contains("CStorageManager::newDocument: Can't allocate disk space for document", 1));
}

TEST_F(StorageDocuments, AnnouncedSizeDoesNotWrapIntoASmallOne) {
    // Three times these is 2^32 + 2 and 3 * (2^32 - 1): in 32 bits 2 and
    // 2^32 - 3, the first of which would pass.
    EXPECT_TRUE(mManager.newDocument("doc", 0x55555556u).isNull());
    EXPECT_TRUE(mManager.newDocument("doc", 0xFFFFFFFFu).isNull());
    EXPECT_FALSE(mManager.newDocument("doc", 0).isNull());
}

TEST_F(StorageDocuments, NewDocumentIsNamedByTimeAndRandomNumberAndCreatesNoFile) {
    LogCapture capture;
    CStorageManager::DocumentPtr document = mManager.newDocument("pptx", 10);
    ASSERT_FALSE(document.isNull());
    std::string path = document->getFilePath().c_str();
    std::string prefix = dataDir() + "/files/";
    ASSERT_EQ(prefix, path.substr(0, prefix.size()));
    EXPECT_TRUE(std::regex_match(path.substr(prefix.size()), std::regex("[0-9]{19,}_[0-9]+\\.pptx")))
        << path;
    EXPECT_TRUE(capture.contains("CStorageManager::newDocument: filePath: " + path, 0));
    EXPECT_FALSE(exists(path));
    EXPECT_NE(CStorageManager::generateFilename("x"), CStorageManager::generateFilename("x"));
}

TEST_F(StorageDocuments, DestinationDirectoryIsCreatedNextToTheFile) {
    CStorageManager::DocumentPtr document = newDocument();
    CQVString destination = mManager.getDestinationDirectory(*document);
    EXPECT_EQ(std::string(document->getFilePath().c_str()) + "_files/", destination.c_str());
    CQVFileStatus status;
    ASSERT_TRUE(QVFileOperations::getFileStatus(destination.c_str(), status));
    EXPECT_TRUE(status.isDirectory());
    // Asking again is no failure.
    LogCapture capture;
    EXPECT_EQ(destination, mManager.getDestinationDirectory(*document));
    EXPECT_FALSE(capture.contains("Can't create directory"));
}

TEST_F(StorageDocuments, DestinationThatCannotBeCreatedIsLoggedAndStillReturned) {
    ASSERT_TRUE(writeFile(filesDir() + "plain", "a file, not a directory"));
    CDocument document((filesDir() + "plain/doc.docx").c_str());
    LogCapture capture;
    CQVString destination = mManager.getDestinationDirectory(document);
    EXPECT_EQ(filesDir() + "plain/doc.docx_files/", destination.c_str());
    EXPECT_TRUE(capture.contains("Can't create directory " + filesDir() + "plain/doc.docx_files/", 2));
}

TEST_F(StorageDocuments, SameBytesAreConvertedOnceAndThenFoundInTheCache) {
    const std::string bytes = "msg 0 converting\nindex first\n";
    LogCapture capture;
    CStorageManager::DocumentPtr first = newDocument();
    ASSERT_TRUE(receive(*first, bytes));
    std::string expected = convertedDir() + md5Hex(bytes) + "/index.html";
    EXPECT_EQ(expected, show(*first));
    EXPECT_EQ("<html><body>first</body></html>\n", readFile(expected));
    EXPECT_TRUE(exists(convertedDir() + md5Hex(bytes) + "/assets/style.css"));
    EXPECT_FALSE(exists(std::string(first->getFilePath().c_str()) + "_files"));
    TQVVector<CStorageManager::CacheEntry> list = records();
    ASSERT_EQ(1, list.size());
    EXPECT_EQ(md5Hex(bytes), hexOf(list[0].md5));
    EXPECT_STREQ("index.html", list[0].entryPoint);
    EXPECT_EQ(readFile(expected).size() + readFile(convertedDir() + md5Hex(bytes) + "/assets/style.css").size(),
              list[0].size);
    UInt64 added = list[0].time;
    EXPECT_EQ(1u, capture.count("starting DerazoZoraveMain"));

    capture.clear();
    CStorageManager::DocumentPtr second = newDocument();
    ASSERT_TRUE(receive(*second, bytes));
    EXPECT_EQ(expected, show(*second));
    EXPECT_FALSE(capture.contains("starting DerazoZoraveMain"));
    EXPECT_TRUE(capture.contains("CStorageManager::findDocumentInCache: found", 0));
    list = records();
    ASSERT_EQ(1, list.size());
    EXPECT_GT(list[0].time, added);
}

TEST_F(StorageDocuments, RecordWhoseDirectoryWasDeletedIsDroppedAndConvertedAgain) {
    const std::string bytes = "index again\n";
    CStorageManager::DocumentPtr first = newDocument();
    ASSERT_TRUE(receive(*first, bytes));
    std::string page = show(*first);
    ASSERT_EQ(convertedDir() + md5Hex(bytes) + "/index.html", page);
    removeTree(convertedDir() + md5Hex(bytes));

    LogCapture capture;
    CStorageManager::DocumentPtr second = newDocument();
    ASSERT_TRUE(receive(*second, bytes));
    CQVString path;
    EXPECT_FALSE(mManager.findDocumentInCache(second->getMD5(), path));
    EXPECT_EQ(0, records().size());
    EXPECT_FALSE(capture.contains("Can't remove"));

    EXPECT_EQ(page, show(*second));
    EXPECT_TRUE(capture.contains("starting DerazoZoraveMain", 0));
    EXPECT_EQ(1, records().size());
}

TEST_F(StorageDocuments, FailedConversionAddsNothing) {
    CStorageManager::DocumentPtr document = newDocument();
    ASSERT_TRUE(receive(*document, "msg 2 cannot convert this\n"));
    EXPECT_EQ("", show(*document));
    EXPECT_EQ(0, records().size());
}

TEST_F(StorageDocuments, AddingWhatIsAlreadyCachedDiscardsTheNewOutput) {
    const std::string bytes = "index twice\n";
    CStorageManager::DocumentPtr first = newDocument();
    ASSERT_TRUE(receive(*first, bytes));
    std::string page = show(*first);

    CStorageManager::DocumentPtr second = newDocument();
    ASSERT_TRUE(receive(*second, bytes));
    CQVString destination = mManager.getDestinationDirectory(*second);
    CQVString entryPoint;
    ASSERT_TRUE(second->convert(destination, entryPoint));
    LogCapture capture;
    EXPECT_EQ(page, mManager.addDocumentToCache(second->getMD5(), destination, entryPoint).c_str());
    EXPECT_TRUE(capture.contains("CStorageManager::addDocumentToCache: found in cache", 0));
    EXPECT_FALSE(exists(destination.c_str()));
    EXPECT_EQ(1, records().size());
}

}  // namespace
