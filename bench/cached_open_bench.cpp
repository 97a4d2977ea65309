// cached_open_bench: how soon an already converted document is shown. For
// each index size (10, 100 and 1000 records) the cache is cleared and
// filled with records of other conversions, the sample document is
// converted for real through the plug-in (the reference: DestroyStream to
// the navigation request on a miss), and then opened again five times by
// new instances; each cached open is timed from NPP_DestroyStream to the
// plug-in's navigation request. The medians are printed in milliseconds.
//
// Usage: cached_open_bench [document, default the sample .docx]

#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_host.h"
#include "bench/bench_support.h"
#include "storage/storage_manager.h"

namespace {

const int kIndexSizes[] = {10, 100, 1000};
const int kCachedOpens = 5;

UInt64 nowNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<UInt64>(now.tv_sec) * 1000000000u + static_cast<UInt64>(now.tv_nsec);
}

// Clears the cache and records `count` other conversions, each with its
// directory and a small entry page, older than anything opened later.
bool fillIndex(CStorageManager& storage, int count, unsigned seed) {
    storage.lockCache();
    bool ok = storage.clearCache();
    TQVVector<CStorageManager::CacheEntry> list;
    const std::string digests = bench::pseudoRandomBytes(16u * static_cast<size_t>(count), seed);
    const UInt64 now = nowNanoseconds();
    for (int i = 0; i < count && ok; ++i) {
        CStorageManager::CacheEntry entry;
        for (int b = 0; b < 16; ++b) entry.md5[b] = static_cast<UInt8>(digests[16u * i + b]);
        entry.time = now - static_cast<UInt64>(count - i) * 1000000000u;
        entry.size = 4096;
        entry.setEntryPoint("index.html");
        std::string dir = std::string(storage.getConvertedDir().c_str()) + CStorageManager::md5ToString(entry.md5).c_str();
        ok = ::mkdir(dir.c_str(), 0777) == 0 && bench::writeFile(dir + "/index.html", std::string(4096, 'x'));
        list.push_back(entry);
    }
    ok = ok && storage.writeCache(list);
    storage.unlockCache();
    return ok;
}

int indexSize(CStorageManager& storage) {
    TQVVector<CStorageManager::CacheEntry> list;
    return storage.readCache(list) ? list.size() : -1;
}

// Milliseconds from NPP_DestroyStream to the navigation request, or -1.
double openOnce(bench::BenchHost& host, const std::string& document, const std::string& url, const char* expectedLog) {
    host.browser().clearRecords();
    host::HostInstance instance(host.browser());
    if (instance.create("application/msword") != NPERR_NO_ERROR || instance.setWindow(0, 0, 800, 480) != NPERR_NO_ERROR) {
        std::fprintf(stderr, "the plug-in did not create its instance\n");
        return -1;
    }
    host::HostInstance::Stream stream(instance, url, static_cast<uint32_t>(document.size()), "application/msword");
    if (stream.begin() != NPERR_NO_ERROR || stream.write(document, 4096) != static_cast<long>(document.size())) {
        std::fprintf(stderr, "the plug-in did not take the document\n");
        return -1;
    }
    double start = bench::monotonicSeconds();
    if (stream.finish(NPRES_DONE) != NPERR_NO_ERROR || !host.waitForNavigations(1, 300)) {
        std::fprintf(stderr, "no navigation for %s\n", url.c_str());
        return -1;
    }
    double ms = (bench::monotonicSeconds() - start) * 1000.0;
    if (!host.browser().logContains(expectedLog) || !host.browser().messages().empty()) {
        std::fprintf(stderr, "%s: expected \"%s\" and no message\n", url.c_str(), expectedLog);
        return -1;
    }
    instance.destroy();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : RRZ_SAMPLES_DIR "/sample.docx";
    const std::string document = bench::readFile(path);
    if (document.empty()) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const std::string extension = path.substr(path.rfind('.'));
    bench::BenchHost host;
    if (!host.start(RRZ_PLUGIN_PATH, RRZ_CONVERTER_DIR, "rrz-cached-bench")) return 1;
    CStorageManager storage;
    if (!storage.init()) {
        std::fprintf(stderr, "the storage did not start\n");
        return 1;
    }

    bool ok = true;
    for (int records : kIndexSizes) {
        if (!fillIndex(storage, records - 1, 0x9E3779B9u + static_cast<unsigned>(records))) {
            std::fprintf(stderr, "cannot fill the index with %d records\n", records - 1);
            ok = false;
            break;
        }
        const std::string tag = std::to_string(records);
        double converted = openOnce(host, document, "http://bench.test/miss-" + tag + extension, "document converted");
        if (converted < 0 || indexSize(storage) != records) {
            std::fprintf(stderr, "the conversion did not make %d records\n", records);
            ok = false;
            break;
        }
        std::vector<double> cached;
        for (int i = 0; i < kCachedOpens && ok; ++i) {
            double ms = openOnce(host, document, "http://bench.test/hit-" + tag + "-" + std::to_string(i) + extension,
                                 "document from cache");
            ok = ms >= 0;
            cached.push_back(ms);
        }
        if (!ok) break;
        std::printf("%4d records: cached open %.2f ms (median of %d, max %.2f), real conversion %.0f ms\n", records,
                    bench::median(cached), kCachedOpens, *std::max_element(cached.begin(), cached.end()), converted);
        bench::printResult("cached_open_" + tag, bench::median(cached), "ms");
        bench::printResult("cached_conversion_" + tag, converted, "ms");
    }
    storage.cleanup();
    return ok ? 0 : 1;
}
