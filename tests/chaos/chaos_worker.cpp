// chaos_worker: one "browser process" of the chaos test. It loads the shipped
// library through the host stand-in and opens documents one after another,
// each in a new instance that is drawn while it converts and then destroyed.
// The storage directory, shared-memory prefix and converter come from the
// environment the test sets.
//
//   chaos_worker <library> <documents dir> <seed> <count> <limit seconds>
//
// Documents are the converter stand-in's scripts, the only files in the
// documents directory; each instance takes a random one, so processes meet
// on the same digests. An instance is done when it navigated or told the
// user about a failure. Exit status: 0 all done; 3 an instance was not done
// within the time limit plus a margin (printed as "HUNG"), 4 a draw event
// took longer than a second (the plug-in thread was blocked), 5 setup failed.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "host/host_browser.h"
#include "host/host_instance.h"
#include "host/plugin_library.h"
#include "tests/support/files.h"

// No leak check at this program's exit in sanitizer builds: LeakSanitizer's
// stop-the-world fails while a converter watcher thread exits, which would
// count as a failed worker. Leaks are the leak gate's job.
extern "C" __attribute__((visibility("default"), used)) int __lsan_is_turned_off() { return 1; }


int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: chaos_worker <library> <documents dir> <seed> <count> <limit seconds>\n");
        return 5;
    }
    const std::string dir = argv[2];
    std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
    const int count = std::atoi(argv[4]);
    const double limit = std::atof(argv[5]);
    const std::vector<std::string> names = test_support::listDirectory(dir);
    if (names.empty()) return 5;

    host::HostBrowser browser;
    host::PluginLibrary library;
    if (!library.load(argv[1])) {
        std::fprintf(stderr, "%s\n", library.error().c_str());
        return 5;
    }
    host::BrowserOptions options;
    options.privateFirst = true;
    if (browser.initialize(library, options) != NPERR_NO_ERROR || library.NP_GetMIMEDescription() == nullptr) {
        return 5;
    }
    host::DrawTarget target(200, 100);
    // Queueing, conversion and the move into the cache on top of the
    // converter's own limit.
    const auto allowed = std::chrono::duration<double>(limit + 10.0);
    for (int i = 0; i < count; ++i) {
        const std::string name = names[random() % names.size()];
        const std::string bytes = test_support::readFile(dir + "/" + name);
        const size_t navigations = browser.navigations().size();
        const size_t messages = browser.messages().size();
        host::HostInstance instance(browser);
        if (instance.create("application/msword") != NPERR_NO_ERROR) return 5;
        if (instance.setWindow(0, 0, 200, 100) != NPERR_NO_ERROR) return 5;
        auto start = std::chrono::steady_clock::now();
        instance.stream("http://chaos.invalid/" + name, bytes);
        for (;;) {
            browser.runUntil([&] {
                return browser.navigations().size() > navigations || browser.messages().size() > messages;
            }, std::chrono::milliseconds(50));
            if (browser.navigations().size() > navigations || browser.messages().size() > messages) break;
            auto before = std::chrono::steady_clock::now();
            instance.draw(&target);
            if (std::chrono::steady_clock::now() - before > std::chrono::seconds(1)) {
                std::printf("BLOCKED %s\n", name.c_str());
                return 4;
            }
            if (std::chrono::steady_clock::now() - start > allowed) {
                std::printf("HUNG %s\n", name.c_str());
                return 3;
            }
        }
        // Sometimes the page goes away while a failure message is still
        // on its way, sometimes it lingers.
        if (random() % 2 == 0) browser.runPendingCalls();
        instance.destroy();
        browser.runPendingCalls();
        browser.clearRecords();
        std::printf("DONE %s\n", name.c_str());
        std::fflush(stdout);
    }
    browser.shutdown(library);
    return 0;
}
