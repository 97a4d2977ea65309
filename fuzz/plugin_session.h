// PluginSession: the shipped library loaded once per fuzzing process through
// the host stand-in, with a private data directory, shared-memory prefix and
// controller runtime directory that are removed at exit. The converter is
// the test stand-in; fuzz targets never let a conversion start.
//
// Plug-in thread only (the fuzzing thread). One session per process.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "host/host_browser.h"
#include "host/host_instance.h"
#include "host/plugin_library.h"

class PluginSession {
public:
    // Aborts when the library cannot be loaded: a fuzz run without its
    // target would only pretend to run.
    static PluginSession& get() {
        static PluginSession* session = new PluginSession;
        return *session;
    }

    host::HostBrowser browser;
    host::PluginLibrary library;

private:
    PluginSession() {
        // On tmpfs: the storage syncs what it writes.
        char pattern[] = "/dev/shm/rrz_fuzz_plugin_XXXXXX";
        if (mkdtemp(pattern) == nullptr) abort();
        sRoot = pattern;
        std::string prefix = "rrz-fuzz-" + std::to_string(getpid()) + "-";
        sShm = "/dev/shm/" + prefix + "officeplugin_storage_mutex";
        setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
        setenv("QV_ZETA_RUNTIME_DIR", sRoot.c_str(), 1);
        setenv("OFFICE_PLUGINS_DATA", (sRoot + "/data").c_str(), 1);
        setenv("OFFICE_PLUGINS_BIN", RRZ_CONVERTER_STUB_DIR, 1);
        atexit(removeAll);
        if (!library.load(RRZ_PLUGIN_PATH)) abort();
        host::BrowserOptions options;
        options.privateFirst = true;
        if (browser.initialize(library, options) != NPERR_NO_ERROR) abort();
        if (library.NP_GetMIMEDescription() == nullptr) abort();
    }

    static void removeAll() {
        std::string command = "rm -rf '" + sRoot + "'";
        if (std::system(command.c_str()) != 0) return;
        unlink(sShm.c_str());
    }

    static inline std::string sRoot;
    static inline std::string sShm;
};
