// end_to_end_bench: what the plug-in adds to a real conversion. The same
// sample document is converted, with the office suite service off, by
// DerazoZoraveMain alone (the reference) and through plugin-host, which
// loads the plug-in, streams the document to it in 4096-byte chunks, lets
// it run the converter and waits for its navigation request. Runs alternate, after one unmeasured warm-up run of
// the converter; the medians of three runs each are printed in seconds and
// their ratio (target at most 1.05).
//
// Usage: end_to_end_bench [document, default the sample .docx] [runs, default 3]

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace {

const char kConverter[] = RRZ_CONVERTER_DIR "/DerazoZoraveMain";

bench::ChildRun converterAlone(const std::string& root, const std::string& document, int run) {
    std::string out = root + "/alone-" + std::to_string(run);
    bench::ChildRun result =
        bench::runProgram({kConverter, document, out + "/index.html", "-1"}, {{"OFFICE_PLUGINS_CONVERTER_IDLE", "0"}},
                          "/dev/null", root + "/alone.log");
    if (result.status == 0 && ::access((out + "/index.html").c_str(), R_OK) != 0) result.status = -1;
    bench::removeTree(out);
    return result;
}

bench::ChildRun throughPlugin(const std::string& root, const std::string& document, int run) {
    std::string data = root + "/data-" + std::to_string(run) + "/";
    bench::Environment environment = {{"OFFICE_PLUGINS_BIN", RRZ_CONVERTER_DIR},
                                      {"OFFICE_PLUGINS_DATA", data},
                                      {"OFFICE_PLUGINS_CONVERTER_IDLE", "0"},
                                      {"QV_SHM_PREFIX", "rrz-e2e-bench-" + std::to_string(::getpid()) + "-"}};
    bench::ChildRun result = bench::runProgram({RRZ_PLUGIN_HOST, "--chunk", "4096", "-q", document}, environment,
                                               root + "/plugin-host.out", root + "/plugin-host.err");
    bench::removeTree(data);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string document = argc > 1 ? argv[1] : RRZ_SAMPLES_DIR "/sample.docx";
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (runs <= 0) runs = 3;
    const std::string root = bench::makeTempDir("rrz-e2e-bench");
    if (root.empty()) return 1;

    bool ok = converterAlone(root, document, -1).status == 0;
    std::vector<double> alone, plugin;
    for (int run = 0; run < runs && ok; ++run) {
        bench::ChildRun direct = converterAlone(root, document, run);
        bench::ChildRun hosted = throughPlugin(root, document, run);
        ok = direct.status == 0 && hosted.status == 0;
        if (!ok) {
            std::fprintf(stderr, "run %d: converter exit %d, plugin-host exit %d (see %s)\n", run, direct.status,
                         hosted.status, root.c_str());
            break;
        }
        alone.push_back(direct.seconds);
        plugin.push_back(hosted.seconds);
    }
    std::string shm = "/dev/shm/rrz-e2e-bench-" + std::to_string(::getpid()) + "-officeplugin_storage_mutex";
    ::unlink(shm.c_str());
    if (!ok) return 1;
    bench::removeTree(root);
    const double direct = bench::median(alone);
    const double hosted = bench::median(plugin);
    std::printf("%s: converter alone %.3f s, through plugin-host %.3f s, ratio %.3f (target <= 1.05)\n",
                document.c_str(), direct, hosted, hosted / direct);
    bench::printResult("e2e_converter", direct, "s");
    bench::printResult("e2e_plugin_host", hosted, "s");
    return 0;
}
