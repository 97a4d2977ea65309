// The working area: what a document leaves there, and what the eviction
// pass takes away from documents whose process is gone.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "converter/document_test_util.h"
#include "tests/support/log_capture.h"

using namespace storage_test;

namespace {

class WorkingArea : public DocumentTest {};

TEST_F(WorkingArea, ConverterDyingOfASignalAfterItsPageIsAFailure) {
    DocumentPtr document = newDocument();
    ASSERT_TRUE(receive(*document, "index crashed\nraise 11\n"));
    CQVString destination = mManager.getDestinationDirectory(document->getFilePath());
    CQVString entryPoint;
    EXPECT_FALSE(document->convert(destination, entryPoint));
    EXPECT_TRUE(exists(std::string(destination.c_str()) + "index.html"));
}

TEST_F(WorkingArea, FilesOfAKilledProcessGoAtTheNextEvictionPassThoseOfLiveOnesStay) {
    DocumentPtr live = newDocument();
    ASSERT_TRUE(receive(*live, "index live\n"));
    std::string liveOutput = mManager.getDestinationDirectory(live->getFilePath()).c_str();

    int report[2];
    ASSERT_EQ(0, ::pipe(report));
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CStorageManager manager;
        CQVString path = manager.init() ? manager.newDocument("doc", 10) : CQVString();
        CDocument document(path.c_str());
        bool ok = !path.isEmpty() && document.startWrite() && document.write("half", 4) == 4;
        CQVString output = manager.getDestinationDirectory(path);
        std::string line = ok ? std::string(path.c_str()) + "\n" : std::string("\n");
        ssize_t written = ::write(report[1], line.data(), line.size());
        (void)written;
        for (;;) ::pause();
    }
    ::close(report[1]);
    char buffer[512] = {0};
    ssize_t got = ::read(report[0], buffer, sizeof(buffer) - 1);
    ::close(report[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    std::string orphan(buffer, got > 0 ? static_cast<size_t>(got) - 1 : 0);
    ASSERT_FALSE(orphan.empty());
    ASSERT_TRUE(exists(orphan));
    ASSERT_TRUE(exists(orphan + "_files"));

    EXPECT_TRUE(mManager.squeezeCache(0));
    EXPECT_FALSE(exists(orphan));
    EXPECT_FALSE(exists(orphan + "_files"));
    EXPECT_TRUE(exists(live->getFilePath().c_str()));
    EXPECT_TRUE(exists(liveOutput));
}

}  // namespace
