// The road of one document through the storage with the converter
// stand-in: lookup, conversion, recording, and a second lookup.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstring>

#include "converter/document_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class DocumentIntake : public DocumentTest {
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
        if (mManager.findDocumentInCache(document.getMD5(), path)) {
            mManager.touchDocument(document.getMD5());
            return path.c_str();
        }
        CQVString destination = mManager.getDestinationDirectory(document.getFilePath());
        CQVString entryPoint;
        if (!document.convert(destination, entryPoint)) return "";
        return mManager.addDocumentToCache(document.getMD5(), destination, entryPoint).c_str();
    }
};

TEST_F(DocumentIntake, SameBytesAreConvertedOnceAndThenFoundInTheCache) {
    const std::string bytes = "msg 0 converting\nindex first\n";
    LogCapture capture;
    DocumentPtr first = newDocument();
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
    DocumentPtr second = newDocument();
    ASSERT_TRUE(receive(*second, bytes));
    EXPECT_EQ(expected, show(*second));
    EXPECT_FALSE(capture.contains("starting DerazoZoraveMain"));
    EXPECT_TRUE(capture.contains("CStorageManager::findDocumentInCache: found", 0));
    list = records();
    ASSERT_EQ(1, list.size());
    EXPECT_GT(list[0].time, added);
}

TEST_F(DocumentIntake, RecordWhoseDirectoryWasDeletedIsDroppedAndConvertedAgain) {
    const std::string bytes = "index again\n";
    DocumentPtr first = newDocument();
    ASSERT_TRUE(receive(*first, bytes));
    std::string page = show(*first);
    ASSERT_EQ(convertedDir() + md5Hex(bytes) + "/index.html", page);
    removeTree(convertedDir() + md5Hex(bytes));

    LogCapture capture;
    DocumentPtr second = newDocument();
    ASSERT_TRUE(receive(*second, bytes));
    CQVString path;
    EXPECT_FALSE(mManager.findDocumentInCache(second->getMD5(), path));
    EXPECT_EQ(0, records().size());
    EXPECT_FALSE(capture.contains("Can't remove"));

    EXPECT_EQ(page, show(*second));
    EXPECT_TRUE(capture.contains("starting DerazoZoraveMain", 0));
    EXPECT_EQ(1, records().size());
}

TEST_F(DocumentIntake, FailedConversionAddsNothing) {
    DocumentPtr document = newDocument();
    ASSERT_TRUE(receive(*document, "msg 2 cannot convert this\n"));
    EXPECT_EQ("", show(*document));
    EXPECT_EQ(0, records().size());
}

TEST_F(DocumentIntake, AddingWhatIsAlreadyCachedDiscardsTheNewOutput) {
    const std::string bytes = "index twice\n";
    DocumentPtr first = newDocument();
    ASSERT_TRUE(receive(*first, bytes));
    std::string page = show(*first);

    DocumentPtr second = newDocument();
    ASSERT_TRUE(receive(*second, bytes));
    CQVString destination = mManager.getDestinationDirectory(second->getFilePath());
    CQVString entryPoint;
    ASSERT_TRUE(second->convert(destination, entryPoint));
    LogCapture capture;
    EXPECT_EQ(page, mManager.addDocumentToCache(second->getMD5(), destination, entryPoint).c_str());
    EXPECT_TRUE(capture.contains("CStorageManager::addDocumentToCache: found in cache", 0));
    EXPECT_FALSE(exists(destination.c_str()));
    EXPECT_EQ(1, records().size());
}

}  // namespace
