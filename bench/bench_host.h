// BenchHost: the browser side of a benchmark. It gives the plug-in a private
// data directory, shared-memory prefix and controller runtime directory,
// runs the plug-in controller stand-in in process (so registrations succeed
// as in the browser), loads the shipped library through the host stand-in
// and initialises it the way a browser does. The destructor shuts it all
// down and removes what it made.
//
// Threads: construct, use and destroy on one thread; that thread is the
// plug-in thread of the HostBrowser inside. One BenchHost per process at a
// time (the host stand-in's tables are process-wide).
#pragma once

#include <memory>
#include <string>

#include "controller_service/plugin_controller_service.h"
#include "host/host_browser.h"
#include "host/host_instance.h"
#include "host/plugin_library.h"

namespace bench {

class BenchHost {
public:
    BenchHost() = default;
    ~BenchHost();
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;

    // converterDir holds the DerazoZoraveMain the plug-in starts. False,
    // with a message on stderr, when any step fails.
    bool start(const std::string& libraryPath, const std::string& converterDir, const std::string& tag);

    host::HostBrowser& browser() { return mBrowser; }
    // The plug-in controller stand-in (after start()).
    CPluginControllerService& controller() { return *mController; }
    // The plug-in's storage directory (ends in "/").
    const std::string& dataDir() const { return mDataDir; }
    const std::string& root() const { return mRoot; }

    // Runs the plug-in's posted calls until `count` navigations were
    // requested, looking every 100 us. False after timeoutSeconds.
    bool waitForNavigations(size_t count, double timeoutSeconds);

private:
    host::HostBrowser mBrowser;
    host::PluginLibrary mLibrary;
    std::unique_ptr<CPluginControllerService> mController;
    std::string mRoot;
    std::string mDataDir;
    std::string mShmName;
    bool mInitialized = false;
};

}  // namespace bench
