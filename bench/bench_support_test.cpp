// The helpers the benchmark figures rest on: the /proc status parser, the
// median, and child runs (exit status, environment, redirection, CPU time).
#include "bench/bench_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

TEST(BenchSupport, StatusFieldsAndMedian) {
    const std::string status = "Name:\tbench\nVmPeak:\t  123456 kB\nVmHWM:\t    4321 kB\nVmHWMX:\t 12 kB\n";
    EXPECT_EQ(4321, bench::statusFieldKiB(status, "VmHWM"));
    EXPECT_EQ(123456, bench::statusFieldKiB(status, "VmPeak"));
    for (const char* bad : {"VmRSS:\t 4000 kB\n", "VmHWM:\t kB\n", "VmHWM:\t 12 MB\n", "VmHWMX:\t 12 kB\n"})
        EXPECT_EQ(-1, bench::statusFieldKiB(bad, "VmHWM")) << bad;
    std::string touched(8u << 20, 'x');
    EXPECT_GE(bench::peakResidentKiB(), static_cast<long>(touched.size() / 1024));
    EXPECT_DOUBLE_EQ(2.0, bench::median({3.0, 1.0, 2.0}));
    EXPECT_DOUBLE_EQ(2.5, bench::median({4.0, 1.0, 3.0, 2.0}));
    EXPECT_DOUBLE_EQ(0.0, bench::median({}));
}

TEST(BenchSupport, ChildRunsGiveStatusOutputEnvironmentAndCpuTime) {
    std::string dir = bench::makeTempDir("rrz-bench-support-test");
    ASSERT_FALSE(dir.empty());
    ::setenv("RRZ_BENCH_KEPT", "kept", 1);
    ::setenv("RRZ_BENCH_EXTRA", "old", 1);
    const char* script = "echo \"$RRZ_BENCH_KEPT $RRZ_BENCH_EXTRA\"; printf e >&2; exit 3";
    bench::ChildRun run = bench::runProgram({"/bin/sh", "-c", script}, {{"RRZ_BENCH_EXTRA", "new"}}, dir + "/out",
                                            dir + "/err");
    ::unsetenv("RRZ_BENCH_KEPT");
    ::unsetenv("RRZ_BENCH_EXTRA");
    EXPECT_EQ(3, run.status);
    EXPECT_EQ("kept new\n", bench::readFile(dir + "/out"));
    EXPECT_EQ("e", bench::readFile(dir + "/err"));
    bench::ChildRun busy = bench::runProgram({"/bin/sh", "-c", "i=0; while [ $i -lt 200000 ]; do i=$((i+1)); done"});
    bench::ChildRun idle = bench::runProgram({"/bin/sleep", "0.2"});
    EXPECT_GT(busy.cpuSeconds, 0.01);
    EXPECT_LT(idle.cpuSeconds, 0.1);
    EXPECT_GE(idle.seconds, 0.2);
    EXPECT_NE(0, bench::runProgram({dir + "/missing-program"}).status);
    EXPECT_EQ(-1, bench::runProgram({"/bin/sh", "-c", "kill -9 $$"}).status);
    EXPECT_TRUE(bench::removeTree(dir));
}

}  // namespace
