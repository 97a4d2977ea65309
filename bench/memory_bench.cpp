// memory_bench: peak resident memory (VmHWM) of the host process with the
// plug-in loaded and no instance (the reference), with one instance and
// with ten instances open at once. Each instance gets a window, is painted
// at 30 frames a second on the host's shared 800 x 480 surface, receives a
// document and converts it with the converter stand-in (about 0.3 s each),
// until every instance has asked to navigate. Each count runs in a process
// of its own, because the peak never goes down.
//
// Usage: memory_bench                 the three counts, one child each
//        memory_bench --instances N   one count in this process

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_host.h"
#include "bench/bench_support.h"

namespace {

const int kCounts[] = {0, 1, 10};

bool runInstances(int count) {
    bench::BenchHost host;
    if (!host.start(RRZ_PLUGIN_PATH, RRZ_CONVERTER_STUB_DIR, "rrz-memory-bench")) return false;
    host::DrawTarget target(800, 480);
    std::vector<std::unique_ptr<host::HostInstance>> instances;
    std::vector<std::unique_ptr<host::HostInstance::Stream>> streams;
    for (int i = 0; i < count; ++i) {
        instances.emplace_back(new host::HostInstance(host.browser()));
        host::HostInstance& instance = *instances.back();
        if (instance.create("application/msword") != NPERR_NO_ERROR ||
            instance.setWindow(0, 0, 800, 480) != NPERR_NO_ERROR) {
            std::fprintf(stderr, "the plug-in did not create instance %d\n", i);
            return false;
        }
        const std::string document =
            "msg 0 memory bench " + std::to_string(i) + "\nsleep 300\nindex memory bench " + std::to_string(i) + "\n";
        streams.emplace_back(new host::HostInstance::Stream(instance, "http://bench.test/m" + std::to_string(i) + ".doc",
                                                            static_cast<uint32_t>(document.size()),
                                                            "application/msword"));
        if (streams.back()->begin() != NPERR_NO_ERROR ||
            streams.back()->write(document, 4096) != static_cast<long>(document.size())) {
            std::fprintf(stderr, "instance %d did not take its document\n", i);
            return false;
        }
        instance.draw(&target);
    }
    for (auto& stream : streams) stream->finish(NPRES_DONE);
    const double deadline = bench::monotonicSeconds() + 120;
    while (host.browser().navigations().size() < static_cast<size_t>(count)) {
        if (bench::monotonicSeconds() > deadline || !host.browser().messages().empty()) {
            std::fprintf(stderr, "%zu of %d instances navigated\n", host.browser().navigations().size(), count);
            return false;
        }
        host.browser().runPendingCalls();
        for (auto& instance : instances) instance->draw(&target);
        std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
    for (auto& instance : instances) instance->destroy();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--instances") == 0) {
        int count = std::atoi(argv[2]);
        if (count < 0 || !runInstances(count)) return 1;
        long peak = bench::peakResidentKiB();
        if (peak < 0) return 1;
        std::printf("%2d instances: peak resident %ld KiB\n", count, peak);
        bench::printResult("peak_rss_" + std::to_string(count), static_cast<double>(peak), "KiB");
        return 0;
    }
    char self[4096];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
    if (length <= 0) {
        std::perror("readlink /proc/self/exe");
        return 1;
    }
    self[length] = '\0';
    for (int count : kCounts) {
        if (bench::runProgram({self, "--instances", std::to_string(count)}).status != 0) {
            std::fprintf(stderr, "memory_bench: the run with %d instances failed\n", count);
            return 1;
        }
    }
    return 0;
}
