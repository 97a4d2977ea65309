// A received document: its bytes and digest, its claimed file in the working
// area, and what the eviction pass takes from a process that died.
#include "converter/document.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "converter/converter_test_util.h"
#include "tests/support/log_capture.h"

using namespace converter_test;
using namespace storage_test;

namespace {

typedef DocumentTest Document;

TEST_F(Document, RefusesStrayWritesAndLeavesNoFile) {
    DocumentPtr document = newDocument();
    EXPECT_EQ(-1, document->write("early", 5));
    // 63 bytes: the length takes a second block of padding (RFC 1321).
    ASSERT_TRUE(receive(*document, std::string(63, 'a')));
    EXPECT_EQ(-1, document->write("late", 4));
    EXPECT_EQ("b06521f39153d618550606be297466d5", hexOf(document->getMD5()));
    const std::string path = document->getFilePath().c_str();
    document->discard();
    EXPECT_FALSE(exists(path));
    LogCapture capture;
    CDocument unwritable((filesDir() + "missing-dir/d.docx").c_str());
    EXPECT_FALSE(unwritable.startWrite());
    EXPECT_TRUE(capture.contains("CDocument::startWrite: Can't open file: " + std::string(strerror(ENOENT)), 2));
}

TEST_F(Document, FilesOfAKilledProcessGoAtTheNextEvictionPassThoseOfLiveOnesStay) {
    DocumentPtr live = newDocument();
    ASSERT_TRUE(receive(*live, "index live\n"));
    const std::string liveOutput = mManager.getDestinationDirectory(live->getFilePath()).c_str();
    int report[2];
    ASSERT_EQ(0, ::pipe(report));
    pid_t child = ::fork();
    if (child == 0) {
        CStorageManager manager;
        CQVString path = manager.init() ? manager.newDocument("doc", 10) : CQVString();
        CDocument document(path.c_str());
        std::string line = !path.isEmpty() && document.startWrite() && document.write("half", 4) == 4
                               ? std::string(manager.getDestinationDirectory(path).c_str())
                               : std::string();
        if (::write(report[1], line.c_str(), line.size() + 1) > 0) ::pause();
        ::_exit(1);
    }
    char buffer[512] = {0};
    ASSERT_GT(::read(report[0], buffer, sizeof(buffer) - 1), 1);
    ::close(report[0]);
    ::close(report[1]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const std::string orphanOutput = buffer;
    const std::string orphan = orphanOutput.substr(0, orphanOutput.size() - 7);  // less "_files/"
    ASSERT_TRUE(exists(orphan));
    ASSERT_TRUE(exists(orphanOutput));

    EXPECT_TRUE(mManager.squeezeCache(0));
    EXPECT_FALSE(exists(orphan));
    EXPECT_FALSE(exists(orphanOutput));
    EXPECT_TRUE(exists(live->getFilePath().c_str()));
    EXPECT_TRUE(exists(liveOutput));
}

}  // namespace
