// The helpers the benchmark figures rest on: the /proc status parser, the
// median, and child runs (exit status, environment, redirection).
#include "bench/bench_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

TEST(StatusField, ReadsTheNamedFieldInKiB) {
    const std::string status = "Name:\tmemory_bench\nVmPeak:\t  123456 kB\nVmHWM:\t    4321 kB\nVmRSS:\t 4000 kB\n";
    EXPECT_EQ(4321, bench::statusFieldKiB(status, "VmHWM"));
    EXPECT_EQ(123456, bench::statusFieldKiB(status, "VmPeak"));
}

TEST(StatusField, MissingOrMalformedFieldsAreMinusOne) {
    EXPECT_EQ(-1, bench::statusFieldKiB("VmRSS:\t 4000 kB\n", "VmHWM"));
    EXPECT_EQ(-1, bench::statusFieldKiB("VmHWM:\t kB\n", "VmHWM"));
    EXPECT_EQ(-1, bench::statusFieldKiB("VmHWM:\t 12 MB\n", "VmHWM"));
    EXPECT_EQ(-1, bench::statusFieldKiB("VmHWMX:\t 12 kB\n", "VmHWM"));
}

TEST(StatusField, OwnPeakIsAtLeastWhatWasTouched) {
    std::string touched(8u * 1024 * 1024, 'x');
    long peak = bench::peakResidentKiB();
    EXPECT_GE(peak, static_cast<long>(touched.size() / 1024));
}

TEST(Median, OddEvenAndEmpty) {
    EXPECT_DOUBLE_EQ(2.0, bench::median({3.0, 1.0, 2.0}));
    EXPECT_DOUBLE_EQ(2.5, bench::median({4.0, 1.0, 3.0, 2.0}));
    EXPECT_DOUBLE_EQ(0.0, bench::median({}));
}

class ChildRuns : public ::testing::Test {
protected:
    void SetUp() override {
        mDir = bench::makeTempDir("rrz-bench-support-test");
        ASSERT_FALSE(mDir.empty());
    }
    void TearDown() override { EXPECT_TRUE(bench::removeTree(mDir)); }
    std::string mDir;
};

TEST_F(ChildRuns, ExitStatusOutputAndExtraEnvironment) {
    ::setenv("RRZ_BENCH_KEPT", "kept", 1);
    bench::ChildRun run = bench::runProgram({"/bin/sh", "-c", "echo \"$RRZ_BENCH_KEPT $RRZ_BENCH_EXTRA\"; exit 3"},
                                            {{"RRZ_BENCH_EXTRA", "extra"}}, mDir + "/out");
    ::unsetenv("RRZ_BENCH_KEPT");
    EXPECT_EQ(3, run.status);
    EXPECT_GT(run.seconds, 0.0);
    EXPECT_EQ("kept extra\n", bench::readFile(mDir + "/out"));
}

TEST_F(ChildRuns, CpuTimeOfABusyChildIsCounted) {
    bench::ChildRun busy = bench::runProgram({"/bin/sh", "-c", "i=0; while [ $i -lt 200000 ]; do i=$((i+1)); done"});
    bench::ChildRun idle = bench::runProgram({"/bin/sleep", "0.2"});
    EXPECT_EQ(0, busy.status);
    EXPECT_GT(busy.cpuSeconds, 0.01);
    EXPECT_LT(idle.cpuSeconds, 0.1);
    EXPECT_GE(idle.seconds, 0.2);
}

TEST_F(ChildRuns, ExtraEnvironmentReplacesInheritedValue) {
    ::setenv("RRZ_BENCH_VALUE", "old", 1);
    bench::runProgram({"/bin/sh", "-c", "printf %s \"$RRZ_BENCH_VALUE\" >&2"}, {{"RRZ_BENCH_VALUE", "new"}}, "",
                      mDir + "/err");
    ::unsetenv("RRZ_BENCH_VALUE");
    EXPECT_EQ("new", bench::readFile(mDir + "/err"));
}

TEST_F(ChildRuns, ProgramThatCannotStartIsNotSuccess) {
    EXPECT_NE(0, bench::runProgram({mDir + "/missing-program"}).status);
    EXPECT_EQ(-1, bench::runProgram({"/bin/sh", "-c", "kill -9 $$"}).status);
}

TEST_F(ChildRuns, RemoveTreeTakesNestedDirectories) {
    ASSERT_EQ(0, bench::runProgram({"/bin/mkdir", "-p", mDir + "/a/b/c"}).status);
    ASSERT_TRUE(bench::writeFile(mDir + "/a/b/c/file", "bytes"));
    EXPECT_TRUE(bench::removeTree(mDir + "/a"));
    EXPECT_TRUE(bench::readFile(mDir + "/a/b/c/file").empty());
    EXPECT_TRUE(bench::removeTree(mDir + "/a")) << "removing what is gone succeeds";
}

}  // namespace
