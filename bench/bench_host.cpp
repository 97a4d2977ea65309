#include "bench/bench_host.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "bench/bench_support.h"

namespace bench {

BenchHost::~BenchHost() {
    if (mInitialized) mBrowser.shutdown(mLibrary);
    mLibrary.unload();
    if (mController) mController->stop();
    if (!mShmName.empty()) ::unlink(mShmName.c_str());
    if (!mRoot.empty()) removeTree(mRoot);
}

bool BenchHost::start(const std::string& libraryPath, const std::string& converterDir, const std::string& tag) {
    mRoot = makeTempDir(tag);
    if (mRoot.empty()) return false;
    mDataDir = mRoot + "/data/";
    const std::string runtimeDir = mRoot + "/run";
    const std::string prefix = tag + "-" + std::to_string(::getpid()) + "-";
    mShmName = "/dev/shm/" + prefix + "officeplugin_storage_mutex";
    if (::mkdir(runtimeDir.c_str(), 0700) != 0) {
        std::perror("mkdir");
        return false;
    }
    ::setenv("OFFICE_PLUGINS_DATA", mDataDir.c_str(), 1);
    ::setenv("OFFICE_PLUGINS_BIN", converterDir.c_str(), 1);
    ::setenv("OFFICE_PLUGINS_TIME_LIMIT", "120", 1);
    ::unsetenv("OFFICE_PLUGINS_MIME_TYPES");
    ::setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
    ::setenv("QV_ZETA_RUNTIME_DIR", runtimeDir.c_str(), 1);
    // Every conversion starts its own office suite, as the references of
    // these benchmarks were taken (service_bench measures the service).
    ::setenv("OFFICE_PLUGINS_CONVERTER_IDLE", "0", 1);

    mController.reset(new CPluginControllerService());
    if (!mController->start()) {
        std::fprintf(stderr, "the plug-in controller stand-in did not start\n");
        return false;
    }
    if (!mLibrary.load(libraryPath)) {
        std::fprintf(stderr, "%s\n", mLibrary.error().c_str());
        return false;
    }
    host::BrowserOptions options;
    options.privateFirst = true;
    if (mBrowser.initialize(mLibrary, options) != NPERR_NO_ERROR) {
        std::fprintf(stderr, "the plug-in refused initialisation\n");
        return false;
    }
    mInitialized = true;
    mLibrary.NP_GetMIMEDescription();
    return true;
}

bool BenchHost::waitForNavigations(size_t count, double timeoutSeconds) {
    return mBrowser.runUntil([&] { return mBrowser.navigations().size() >= count; },
                             std::chrono::milliseconds(static_cast<long>(timeoutSeconds * 1000)),
                             std::chrono::microseconds(100));
}

}  // namespace bench
