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

using converter_test::eventually;
using converter_test::readFile;
using converter_test::recorded;
using converter_test::secondsSince;

namespace {

class ConverterThreadsTest : public converter_test::ConverterTest {
protected:
    std::string outDir(const std::string& name) {
        std::string dir = mDir / name;
        ::mkdir(dir.c_str(), 0777);
        return dir + "/";
    }
};

TEST_F(ConverterThreadsTest, AbortFromAnotherThreadEndsTheConversionPromptly) {
    converter_test::setTimeLimit("600");
    LogCapture capture;
    CConverterOffice converter;
    std::string out = mDir / "record";
    std::string source = script("doc", "record " + out + "\nindex partial\nmsg 0 working\nhang\n");
    std::string destination = outDir("out");

    std::atomic<bool> done(false);
    double seconds = 0;
    std::thread worker([&] {
        auto start = std::chrono::steady_clock::now();
        converter.convertFile(source.c_str(), destination.c_str());
        seconds = secondsSince(start);
        done = true;
    });
    ASSERT_TRUE(eventually([&] { return capture.contains("working", 0); }, 5000));
    auto abortTime = std::chrono::steady_clock::now();
    converter.abort();
    ASSERT_TRUE(eventually([&] { return done.load(); }, 5000));
    double afterAbort = secondsSince(abortTime);
    worker.join();

    EXPECT_LT(afterAbort, 0.5);
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(1u, capture.count("CConverterOffice::abort: conversion has been aborted", 0));
    EXPECT_TRUE(capture.contains("read Header: " + std::string(strerror(EPIPE)), 0));
    EXPECT_FALSE(capture.contains("Can't stop launcher"));
    // A page was written before the abort, but an interrupted conversion
    // never counts.
    EXPECT_NE("<missing>", readFile(destination + "index.html"));
    EXPECT_FALSE(converter.isConversionComplete());
}

TEST_F(ConverterThreadsTest, ConcurrentConversionsDoNotHoldEachOthersPipe) {
    converter_test::setTimeLimit("20");
    std::string recordSlow = mDir / "slow.record";
    std::string recordQuick = mDir / "quick.record";
    std::string slowSource = script("slow", "record " + recordSlow + "\nsleep 3000\nindex\n");
    std::string quickSource = script("quick", "sleep 300\nrecord " + recordQuick + "\nindex\n");
    std::string slowOut = outDir("slow_out");
    std::string quickOut = outDir("quick_out");

    CConverterOffice slow;
    CConverterOffice quick;
    double slowSeconds = 0;
    double quickSeconds = 0;
    auto start = std::chrono::steady_clock::now();
    std::thread slowThread([&] {
        slow.convertFile(slowSource.c_str(), slowOut.c_str());
        slowSeconds = secondsSince(start);
    });
    // The quick one starts while the slow one runs.
    ASSERT_TRUE(eventually([&] { return readFile(recordSlow) != "<missing>"; }, 5000));
    std::thread quickThread([&] {
        quick.convertFile(quickSource.c_str(), quickOut.c_str());
        quickSeconds = secondsSince(start);
    });
    quickThread.join();
    slowThread.join();

    EXPECT_LT(quickSeconds, 2.5) << "the quick conversion waited for the slow converter";
    EXPECT_GE(slowSeconds, 3.0);
    EXPECT_TRUE(quick.isConversionComplete());
    EXPECT_TRUE(slow.isConversionComplete());

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
