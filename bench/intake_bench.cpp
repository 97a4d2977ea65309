// intake_bench: how fast the plug-in takes in a document. A 32 MiB stream
// goes through NPP_WriteReady/NPP_Write in the host's chunk size (4096
// bytes), where the plug-in digests and writes every byte (and logs; the
// host passes the lines on without keeping them); the same bytes,
// from a file in the page cache, go through md5sum and through
// `cat > file` in the same directory. Five rounds alternate the three; the
// medians are printed as MiB per CPU second (user + system time of the
// streaming thread, respectively of the child process), which a busy
// machine disturbs far less than wall time, and as MiB per wall second.
// The plug-in's rate is compared with md5sum and cat run one after the
// other, the two jobs it does.
//
// Usage: intake_bench [chunk bytes, default 4096]

#include <stdlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_host.h"
#include "bench/bench_support.h"

namespace {

const size_t kStreamBytes = 32u * 1024u * 1024u;
const int kRounds = 5;

struct Timing {
    double wall = -1;
    double cpu = -1;
};

// From the first NPP_WriteReady to the last NPP_Write; -1 on failure.
Timing streamOnce(bench::BenchHost& host, const std::string& bytes, size_t chunk, int round) {
    host::HostInstance instance(host.browser());
    if (instance.create("application/msword") != NPERR_NO_ERROR || instance.setWindow(0, 0, 800, 480) != NPERR_NO_ERROR) {
        std::fprintf(stderr, "the plug-in did not create its instance\n");
        return Timing();
    }
    std::string url = "http://bench.test/intake-" + std::to_string(round) + ".doc";
    host::HostInstance::Stream stream(instance, url, static_cast<uint32_t>(bytes.size()), "application/msword");
    if (stream.begin() != NPERR_NO_ERROR) {
        std::fprintf(stderr, "the plug-in refused the stream\n");
        return Timing();
    }
    Timing timing;
    double cpuStart = bench::threadCpuSeconds();
    double start = bench::monotonicSeconds();
    long taken = stream.write(bytes, chunk);
    timing.wall = bench::monotonicSeconds() - start;
    timing.cpu = bench::threadCpuSeconds() - cpuStart;
    // Broken off: the received file is all that was measured, no conversion.
    stream.finish(NPRES_USER_BREAK);
    host.browser().runPendingCalls();
    instance.destroy();
    if (taken != static_cast<long>(bytes.size())) {
        std::fprintf(stderr, "the plug-in took %ld of %zu bytes\n", taken, bytes.size());
        return Timing();
    }
    return timing;
}

void report(const char* key, double mib, const std::vector<double>& cpu, const std::vector<double>& wall) {
    bench::printResult(std::string(key) + "_cpu", mib / bench::median(cpu), "MiB/s");
    bench::printResult(std::string(key) + "_wall", mib / bench::median(wall), "MiB/s");
}

}  // namespace

int main(int argc, char** argv) {
    size_t chunk = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4096;
    if (chunk == 0) chunk = 4096;
    bench::BenchHost host;
    if (!host.start(RRZ_PLUGIN_PATH, RRZ_CONVERTER_STUB_DIR, "rrz-intake-bench")) return 1;
    // The plug-in logs five lines per chunk; the browser's log service takes
    // them, but the stand-in's keeping them all in memory is not the
    // plug-in's cost.
    host.browser().setLogRecording(false);

    const std::string bytes = bench::pseudoRandomBytes(kStreamBytes, 0x2545F491u);
    const std::string input = host.root() + "/input.bin";
    const std::string copy = host.root() + "/copy.bin";
    if (!bench::writeFile(input, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", input.c_str());
        return 1;
    }

    std::vector<double> pluginCpu, pluginWall, md5sumCpu, md5sumWall, catCpu, catWall;
    bool ok = true;
    for (int round = 0; round < kRounds && ok; ++round) {
        Timing timing = streamOnce(host, bytes, chunk, round);
        ok = timing.wall > 0;
        pluginCpu.push_back(timing.cpu);
        pluginWall.push_back(timing.wall);
        bench::removeTree(host.dataDir() + "files");

        bench::ChildRun run = bench::runProgram({"/usr/bin/md5sum", input}, {}, "/dev/null");
        ok = ok && run.status == 0;
        md5sumCpu.push_back(run.cpuSeconds);
        md5sumWall.push_back(run.seconds);

        run = bench::runProgram({"/bin/cat", input}, {}, copy);
        ok = ok && run.status == 0;
        catCpu.push_back(run.cpuSeconds);
        catWall.push_back(run.seconds);
        ::remove(copy.c_str());
    }
    if (!ok) {
        std::fprintf(stderr, "intake_bench: a run failed\n");
        return 1;
    }
    const double mib = static_cast<double>(kStreamBytes) / (1024.0 * 1024.0);
    std::printf("%zu bytes in chunks of %zu, MiB per CPU second (per wall second): NPP_Write %.1f (%.1f), "
                "md5sum %.1f (%.1f), cat > file %.1f (%.1f)\n",
                kStreamBytes, chunk, mib / bench::median(pluginCpu), mib / bench::median(pluginWall),
                mib / bench::median(md5sumCpu), mib / bench::median(md5sumWall), mib / bench::median(catCpu),
                mib / bench::median(catWall));
    report("intake_plugin", mib, pluginCpu, pluginWall);
    report("intake_md5sum", mib, md5sumCpu, md5sumWall);
    report("intake_cat", mib, catCpu, catWall);
    bench::printResult("intake_md5sum_cat_cpu", mib / (bench::median(md5sumCpu) + bench::median(catCpu)), "MiB/s");
    bench::printResult("intake_md5sum_cat_wall", mib / (bench::median(md5sumWall) + bench::median(catWall)),
                       "MiB/s");
    return 0;
}
