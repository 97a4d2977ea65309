// Documents across threads and processes: an interruption from the plug-in
// thread, and two processes converting the same document at once.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "converter/document_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class DocumentsAcrossThreads : public DocumentTest {};

TEST_F(DocumentsAcrossThreads, InterruptingEndsTheConversionPromptlyWithoutSuccess) {
    ::setenv("OFFICE_PLUGINS_TIME_LIMIT", "600", 1);
    LogCapture capture;
    DocumentPtr document = newDocument();
    ASSERT_TRUE(receive(*document, "index partial\nmsg 0 working\nhang\n"));
    CQVString destination = mManager.getDestinationDirectory(document->getFilePath());

    std::atomic<bool> done(false);
    bool converted = true;
    std::thread worker([&] {
        CQVString entryPoint;
        converted = document->convert(destination, entryPoint);
        done = true;
    });
    bool working = eventually([&] { return capture.contains("working"); });
    document->interruptConversion();
    // Far sooner than the 600 s limit.
    bool ended = eventually([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(working);
    EXPECT_TRUE(ended) << "the interruption did not end the conversion";
    EXPECT_FALSE(converted);
    EXPECT_TRUE(capture.contains("conversion has been aborted", 0));
}

// Receives, converts and records the same bytes as another process does at
// the same time; the result is the page to open, or "" on failure.
std::string convertAndRecord(CStorageManager& manager, const std::string& bytes, bool& foundInCache) {
    LogCapture capture;
    CQVString file = manager.newDocument("docx", 100);
    if (file.isEmpty()) return "";
    CDocument document(file.c_str());
    if (!receive(document, bytes)) return "";
    CQVString path;
    if (manager.findDocumentInCache(document.getMD5(), path)) return "";  // too late to overlap
    CQVString destination = manager.getDestinationDirectory(file);
    CQVString entryPoint;
    if (!document.convert(destination, entryPoint)) return "";
    std::string page = manager.addDocumentToCache(document.getMD5(), destination, entryPoint).c_str();
    foundInCache = capture.contains("found in cache", 0);
    return page;
}

TEST_F(DocumentsAcrossThreads, TwoProcessesConvertingOneDocumentLeaveOneRecordAndOneDirectory) {
    // Both converters run for 600 ms, so the conversions overlap.
    const std::string bytes = "sleep 600\nindex shared\n";
    std::string report = dataDir() + "child.report";
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CStorageManager manager;
        bool found = false;
        std::string page = manager.init() ? convertAndRecord(manager, bytes, found) : "";
        manager.cleanup();
        bool written = writeFile(report, page + "\n" + (found ? "found" : "added"));
        ::_exit(written && !page.empty() ? 0 : 1);
    }
    bool found = false;
    std::string page = convertAndRecord(mManager, bytes, found);
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(report);

    std::string expected = convertedDir() + md5Hex(bytes) + "/index.html";
    EXPECT_EQ(expected, page);
    std::string childReport = readFile(report);
    EXPECT_EQ(expected, childReport.substr(0, childReport.find('\n')));
    // Exactly one of the two found the other's record and discarded its own.
    bool childFound = childReport.substr(childReport.find('\n') + 1) == "found";
    EXPECT_NE(found, childFound);

    TQVVector<CStorageManager::CacheEntry> list;
    ASSERT_TRUE(mManager.readCache(list));
    ASSERT_EQ(1, list.size());
    EXPECT_EQ(md5Hex(bytes), hexOf(list[0].md5));
    int cachedDirs = 0;
    if (DIR* dir = ::opendir(convertedDir().c_str())) {
        while (struct dirent* entry = ::readdir(dir)) {
            if (std::string(entry->d_name).size() == 32) ++cachedDirs;
        }
        ::closedir(dir);
    }
    EXPECT_EQ(1, cachedDirs);
    // No output directory is left in the working area.
    if (DIR* dir = ::opendir(filesDir().c_str())) {
        while (struct dirent* entry = ::readdir(dir)) {
            EXPECT_EQ(std::string::npos, std::string(entry->d_name).find("_files")) << entry->d_name;
        }
        ::closedir(dir);
    }
}

}  // namespace
