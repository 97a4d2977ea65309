// CConverterOffice across threads: an abort from another thread, and two
// conversions running at once in one process.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "converter/converter_office.h"
#include "converter/converter_test_util.h"
#include "tests/support/log_capture.h"

using namespace converter_test;

namespace {

class ConverterThreadsTest : public ConverterTest {
protected:
    std::string outDir(const std::string& name) {
        std::string dir = mDir / name;
        ::mkdir(dir.c_str(), 0777);
        return dir + "/";
    }
};

TEST_F(ConverterThreadsTest, AbortFromAnotherThreadEndsTheConversionPromptly) {
    setTimeLimit("600");
    LogCapture capture;
    CConverterOffice converter;
    std::string out = mDir / "record";
    std::string source = script("doc", "record " + out + "\nindex partial\nmsg 0 working\nhang\n");
    std::string destination = outDir("out");

    std::atomic<bool> done(false);
    std::thread worker([&] {
        converter.convertFile(source.c_str(), destination.c_str());
        done = true;
    });
    ASSERT_TRUE(eventually([&] { return capture.contains("working", 0); }));
    converter.abort();
    // Far sooner than the 600 s limit.
    ASSERT_TRUE(eventually([&] { return done.load(); })) << "the abort did not end the conversion";
    worker.join();

    EXPECT_EQ(1u, capture.count("CConverterOffice::abort: conversion has been aborted", 0));
    EXPECT_TRUE(capture.contains("read Header: " + std::string(strerror(EPIPE)), 0));
    EXPECT_FALSE(capture.contains("Can't stop launcher"));
    // A page was written before the abort, but an interrupted conversion
    // never counts.
    EXPECT_NE("<missing>", readFile(destination + "index.html"));
    EXPECT_FALSE(converter.isConversionComplete());
}

TEST_F(ConverterThreadsTest, ConcurrentConversionsDoNotHoldEachOthersPipe) {
    setTimeLimit("20");
    std::string recordSlow = mDir / "slow.record";
    std::string recordQuick = mDir / "quick.record";
    std::string slowSource = script("slow", "record " + recordSlow + "\nhang\n");
    std::string quickSource = script("quick", "record " + recordQuick + "\nindex\n");
    std::string slowOut = outDir("slow_out");
    std::string quickOut = outDir("quick_out");

    CConverterOffice slow;
    CConverterOffice quick;
    std::thread slowThread([&] { slow.convertFile(slowSource.c_str(), slowOut.c_str()); });
    // The quick one runs from start to end while the slow one hangs.
    bool slowStarted = eventually([&] { return readFile(recordSlow) != "<missing>"; });
    std::atomic<bool> quickDone(false);
    std::thread quickThread([&] {
        quick.convertFile(quickSource.c_str(), quickOut.c_str());
        quickDone = true;
    });
    bool quickEnded = eventually([&] { return quickDone.load(); });
    slow.abort();
    slowThread.join();
    quickThread.join();
    ASSERT_TRUE(slowStarted);
    EXPECT_TRUE(quickEnded) << "the quick conversion waited for the slow converter";
    EXPECT_TRUE(quick.isConversionComplete());
    EXPECT_FALSE(slow.isConversionComplete());

    // Each converter holds standard input, output, error and its own pipe.
    for (const std::string& record : {recordSlow, recordQuick}) {
        std::vector<std::string> fds = recorded(record, "fd");
        std::vector<std::string> argv = recorded(record, "argv");
        ASSERT_EQ(4u, argv.size()) << record;
        std::vector<std::string> expected = {"0", "1", "2", argv[3]};
        std::sort(fds.begin(), fds.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, fds) << record;
    }
}

}  // namespace
