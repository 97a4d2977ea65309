// HostSession: one run of plugin-host: load the library, create an instance
// with a window, stream the document at the chosen pace while painting
// frames at the host's frame rate, run the plug-in's asynchronous calls, and
// wait for the navigation, the error state or the time-out.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "tools/plugin_host/host_options.h"

namespace plugin_host {

class HostSession {
public:
    HostSession(const Options& options, std::FILE* out);
    // Returns the exit status.
    int run();

private:
    void print(const char* kind, const std::string& text);

    const Options& mOptions;
    std::FILE* mOut;
    std::mutex mPrintMutex;
};

// The library plugin-host loads when --library is not given.
std::string defaultLibraryPath(const char* argv0);

}  // namespace plugin_host
