// intake_bench: how fast the plug-in takes in a document. A 32 MiB stream
// goes through NPP_WriteReady/NPP_Write in the host's chunk size (4096
// bytes), where the plug-in digests and writes every byte; the same bytes,
// from a file in the page cache, go through md5sum and through
// `cat > file` in the same directory. Each is timed three times; the
// medians are printed as MiB/s, and the plug-in's rate next to that of
// md5sum and cat run one after the other (the two jobs it does).
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
const int kRounds = 3;

// Seconds from the first NPP_WriteReady to the last NPP_Write, or -1.
double streamOnce(bench::BenchHost& host, const std::string& bytes, size_t chunk, int round) {
    host::HostInstance instance(host.browser());
    if (instance.create("application/msword") != NPERR_NO_ERROR || instance.setWindow(0, 0, 800, 480) != NPERR_NO_ERROR) {
        std::fprintf(stderr, "the plug-in did not create its instance\n");
        return -1;
    }
    std::string url = "http://bench.test/intake-" + std::to_string(round) + ".doc";
    host::HostInstance::Stream stream(instance, url, static_cast<uint32_t>(bytes.size()), "application/msword");
    if (stream.begin() != NPERR_NO_ERROR) {
        std::fprintf(stderr, "the plug-in refused the stream\n");
        return -1;
    }
    double start = bench::monotonicSeconds();
    long taken = stream.write(bytes, chunk);
    double seconds = bench::monotonicSeconds() - start;
    // Broken off: the received file is all that was measured, no conversion.
    stream.finish(NPRES_USER_BREAK);
    host.browser().runPendingCalls();
    instance.destroy();
    if (taken != static_cast<long>(bytes.size())) {
        std::fprintf(stderr, "the plug-in took %ld of %zu bytes\n", taken, bytes.size());
        return -1;
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    size_t chunk = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 4096;
    if (chunk == 0) chunk = 4096;
    bench::BenchHost host;
    if (!host.start(RRZ_PLUGIN_PATH, RRZ_CONVERTER_STUB_DIR, "rrz-intake-bench")) return 1;

    const std::string bytes = bench::pseudoRandomBytes(kStreamBytes, 0x2545F491u);
    const std::string input = host.root() + "/input.bin";
    const std::string copy = host.root() + "/copy.bin";
    if (!bench::writeFile(input, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", input.c_str());
        return 1;
    }

    std::vector<double> plugin, md5sum, cat;
    bool ok = true;
    for (int round = 0; round < kRounds && ok; ++round) {
        double seconds = streamOnce(host, bytes, chunk, round);
        ok = seconds > 0;
        plugin.push_back(seconds);
        bench::removeTree(host.dataDir() + "files");

        bench::ChildRun run = bench::runProgram({"/usr/bin/md5sum", input}, {}, "/dev/null");
        ok = ok && run.status == 0;
        md5sum.push_back(run.seconds);

        run = bench::runProgram({"/bin/cat", input}, {}, copy);
        ok = ok && run.status == 0;
        cat.push_back(run.seconds);
        ::remove(copy.c_str());
    }
    if (!ok) {
        std::fprintf(stderr, "intake_bench: a run failed\n");
        return 1;
    }
    const double mib = static_cast<double>(kStreamBytes) / (1024.0 * 1024.0);
    const double pluginRate = mib / bench::median(plugin);
    const double md5sumRate = mib / bench::median(md5sum);
    const double catRate = mib / bench::median(cat);
    const double bothRate = mib / (bench::median(md5sum) + bench::median(cat));
    std::printf("%zu bytes in chunks of %zu: NPP_Write %.1f MiB/s, md5sum %.1f MiB/s, cat > file %.1f MiB/s, "
                "md5sum then cat %.1f MiB/s\n",
                kStreamBytes, chunk, pluginRate, md5sumRate, catRate, bothRate);
    bench::printResult("intake_plugin", pluginRate, "MiB/s");
    bench::printResult("intake_md5sum", md5sumRate, "MiB/s");
    bench::printResult("intake_cat", catRate, "MiB/s");
    bench::printResult("intake_md5sum_cat", bothRate, "MiB/s");
    return 0;
}
