// PluginSession: the shipped library loaded once per fuzzing process through
// the host stand-in, with a private data directory, shared-memory prefix and
// controller runtime directory removed at exit, and the converter stand-in
// (no target lets a conversion start). Aborts when the library cannot be set
// up: a run without its target would only pretend. Fuzzing thread only.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "host/host_browser.h"
#include "host/host_instance.h"
#include "host/plugin_library.h"

class PluginSession {
public:
    static PluginSession& get() {
        static PluginSession* session = new PluginSession;
        return *session;
    }
    host::HostBrowser browser;
    host::PluginLibrary library;

private:
    PluginSession() {
        char pattern[] = "/dev/shm/rrz_fuzz_plugin_XXXXXX";  // tmpfs: the storage syncs what it writes
        if (mkdtemp(pattern) == nullptr) abort();
        sRoot = pattern;
        std::string prefix = "rrz-fuzz-" + std::to_string(getpid()) + "-";
        sShm = "/dev/shm/" + prefix + "officeplugin_storage_mutex";
        setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
        setenv("QV_ZETA_RUNTIME_DIR", sRoot.c_str(), 1);
        setenv("OFFICE_PLUGINS_DATA", (sRoot + "/data").c_str(), 1);
        setenv("OFFICE_PLUGINS_BIN", RRZ_CONVERTER_STUB_DIR, 1);
        atexit([] { if (system(("rm -rf '" + sRoot + "'").c_str()) == 0) unlink(sShm.c_str()); });
        host::BrowserOptions options;
        options.privateFirst = true;
        if (!library.load(RRZ_PLUGIN_PATH) || browser.initialize(library, options) != NPERR_NO_ERROR ||
            library.NP_GetMIMEDescription() == nullptr)
            abort();
    }
    static inline std::string sRoot, sShm;
};
