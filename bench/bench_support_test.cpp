// The helpers the benchmark figures rest on: the /proc status parser, the
// median, and a child's exit status, output and environment.
#include "bench/bench_support.h"

#include <gtest/gtest.h>

TEST(BenchSupport, StatusFieldsMedianAndChildRuns) {
    const std::string status = "Name:\tbench\nVmPeak:\t  123456 kB\nVmHWM:\t    4321 kB\nVmHWMX:\t 12 kB\n";
    EXPECT_EQ(4321, bench::statusFieldKiB(status, "VmHWM"));
    EXPECT_EQ(123456, bench::statusFieldKiB(status, "VmPeak"));
    for (const char* bad : {"VmRSS:\t 4000 kB\n", "VmHWM:\t kB\n", "VmHWM:\t 12 MB\n", "VmHWMX:\t 12 kB\n"})
        EXPECT_EQ(-1, bench::statusFieldKiB(bad, "VmHWM")) << bad;
    EXPECT_DOUBLE_EQ(2.0, bench::median({3.0, 1.0, 2.0}));
    EXPECT_DOUBLE_EQ(2.5, bench::median({4.0, 1.0, 3.0, 2.0}));
    std::string dir = bench::makeTempDir("rrz-bench-support-test");
    ASSERT_FALSE(dir.empty());
    bench::ChildRun run = bench::runProgram({"/bin/sh", "-c", "echo \"$RRZ_BENCH_EXTRA\"; printf e >&2; exit 3"},
                                            {{"RRZ_BENCH_EXTRA", "extra"}}, dir + "/out", dir + "/err");
    EXPECT_EQ(3, run.status);
    EXPECT_EQ("extra\n", bench::readFile(dir + "/out"));
    EXPECT_EQ("e", bench::readFile(dir + "/err"));
    EXPECT_EQ(-1, bench::runProgram({"/bin/sh", "-c", "kill -9 $$"}).status);
    EXPECT_TRUE(bench::removeTree(dir));
}
