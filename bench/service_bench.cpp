// service_bench: what the office suite service saves. Each of the six
// sample documents goes through plugin-host (library, streaming, converter,
// navigation request) with a fresh storage directory, in turn with the
// service off (OFFICE_PLUGINS_CONVERTER_IDLE=0: the converter starts a
// suite of its own, the reference) and with it running (warm), for several
// rounds after one warm-up of each. Then, also in turn with cold runs of
// the first sample, the first conversion with no service running (the
// converter starts the service and waits for it). Prints the medians, their
// ratios and the resident memory of the warm service (its suite and its own
// process).
//
// Usage: service_bench [rounds, default 3]

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "converter_program/service_client.h"

namespace {

const char* const kSamples[] = {"sample.doc", "sample.docx", "sample.xls", "sample.xlsx", "sample.ppt", "sample.pptx"};

// The value of " name=" in the service's status line, or "".
std::string field(const std::string& line, const std::string& name) {
    std::string::size_type at = line.find(" " + name + "=");
    if (at == std::string::npos) return std::string();
    at += name.size() + 2;
    return line.substr(at, line.find(' ', at) - at);
}

class CServiceBench {
public:
    explicit CServiceBench(const std::string& root) : mRoot(root), mServiceDir(root + "/service/") {}

    // One plugin-host run of a sample; -1 when it did not end in a navigation.
    double run(const std::string& sample, bool service) {
        std::string data = mRoot + "/data/";
        bench::Environment environment = {
            {"OFFICE_PLUGINS_BIN", RRZ_CONVERTER_DIR},
            {"OFFICE_PLUGINS_DATA", data},
            {"OFFICE_PLUGINS_CONVERTER_IDLE", service ? "120" : "0"},
            {"OFFICE_PLUGINS_CONVERTER_SERVICE_DIR", mServiceDir},
            {"QV_SHM_PREFIX", "rrz-service-bench-" + std::to_string(::getpid()) + "-"}};
        bench::ChildRun result =
            bench::runProgram({RRZ_PLUGIN_HOST, "--chunk", "4096", "-q", RRZ_SAMPLES_DIR "/" + sample}, environment,
                              mRoot + "/plugin-host.out", mRoot + "/plugin-host.err");
        bench::removeTree(data);
        if (result.status != 0) {
            std::fprintf(stderr, "%s (%s): plugin-host exit %d, see %s\n", sample.c_str(),
                         service ? "service" : "cold", result.status, mRoot.c_str());
            return -1;
        }
        return result.seconds;
    }

    // Stops the service and waits until its directory is free again.
    void stop() {
        const std::string status = field(askService(mServiceDir, "status"), "service");
        askService(mServiceDir, "stop");
        const long pid = std::atol(status.c_str());
        for (int waited = 0; pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0 && waited < 30000; waited += 20) {
            ::usleep(20000);
        }
    }

    const std::string& serviceDir() const { return mServiceDir; }

private:
    std::string mRoot;
    std::string mServiceDir;
};

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    if (rounds <= 0) rounds = 3;
    const std::string root = bench::makeTempDir("rrz-service-bench");
    if (root.empty()) return 1;
    CServiceBench bench(root);

    bool ok = true;
    for (const char* sample : kSamples) {
        ok = ok && bench.run(sample, false) > 0 && bench.run(sample, true) > 0;
    }
    std::vector<double> cold, warm;
    for (int round = 0; round < rounds && ok; ++round) {
        for (const char* sample : kSamples) {
            double own = bench.run(sample, false);
            double shared = bench.run(sample, true);
            ok = own > 0 && shared > 0;
            if (!ok) break;
            cold.push_back(own);
            warm.push_back(shared);
            std::printf("%s: cold %.3f s, warm %.3f s\n", sample, own, shared);
        }
    }
    const std::string status = ok ? askService(bench.serviceDir(), "status") : std::string();
    const long suiteKiB = std::atol(field(status, "rss").c_str());
    const std::string servicePid = field(status, "service");
    const long serviceKiB =
        bench::statusFieldKiB(bench::readFile("/proc/" + servicePid + "/status"), "VmRSS");

    std::vector<double> firstCold, first;
    for (int round = 0; round < rounds && ok; ++round) {
        bench.stop();
        double own = bench.run(kSamples[1], false);
        double starting = bench.run(kSamples[1], true);
        ok = own > 0 && starting > 0;
        firstCold.push_back(own);
        first.push_back(starting);
        std::printf("%s: cold %.3f s, first with no service %.3f s\n", kSamples[1], own, starting);
    }
    bench.stop();
    std::string shm = "/dev/shm/rrz-service-bench-" + std::to_string(::getpid()) + "-officeplugin_storage_mutex";
    ::unlink(shm.c_str());
    if (!ok || suiteKiB <= 0 || serviceKiB <= 0) {
        std::fprintf(stderr, "no figures (status \"%s\"); see %s\n", status.c_str(), root.c_str());
        return 1;
    }
    bench::removeTree(root);
    const double coldMedian = bench::median(cold), warmMedian = bench::median(warm);
    const double firstColdMedian = bench::median(firstCold), firstMedian = bench::median(first);
    std::printf("six samples: cold median %.3f s, warm median %.3f s, ratio %.3f (target <= 0.25)\n", coldMedian,
                warmMedian, warmMedian / coldMedian);
    std::printf("%s, no service running: %.3f s against cold %.3f s, ratio %.3f (target <= 1.15)\n", kSamples[1],
                firstMedian, firstColdMedian, firstMedian / firstColdMedian);
    std::printf("warm service: suite %ld KiB, service process %ld KiB resident\n", suiteKiB, serviceKiB);
    bench::printResult("service_cold", coldMedian, "s");
    bench::printResult("service_warm", warmMedian, "s");
    bench::printResult("service_first_cold", firstColdMedian, "s");
    bench::printResult("service_first", firstMedian, "s");
    bench::printResult("service_suite_rss", static_cast<double>(suiteKiB), "KiB");
    bench::printResult("service_process_rss", static_cast<double>(serviceKiB), "KiB");
    return 0;
}
