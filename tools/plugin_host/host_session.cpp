#include "tools/plugin_host/host_session.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>

#include "controller_service/plugin_controller_service.h"
#include "host/host_browser.h"
#include "host/host_instance.h"
#include "host/plugin_library.h"

namespace plugin_host {

namespace {

using Clock = std::chrono::steady_clock;

const char* levelName(int level) { return level == 2 ? "error" : level == 1 ? "warning" : "message"; }

std::string absolutePath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string describe(const CPluginControllerService::Request& request) {
    static const char* const names[] = {"register", "set window", "key",       "mouse",
                                        "button",   "data",       "deregister"};
    std::ostringstream line;
    line << (request.updateId < 7 ? names[request.updateId] : "request") << " (update id " << request.updateId
         << ", instance " << request.instanceId << ")";
    for (int32_t value : request.values) line << " " << value;
    if (!request.parameters.empty()) {
        line << " parameters:";
        for (const auto& parameter : request.parameters) line << " " << parameter.first << "=" << parameter.second;
    }
    if (request.malformed) line << " MALFORMED";
    return line.str();
}

}  // namespace

std::string defaultLibraryPath(const char* argv0) {
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    std::string directory;
    if (length > 0) {
        self[length] = '\0';
        directory = self;
    } else if (argv0 != nullptr) {
        directory = argv0;
    }
    directory = directory.substr(0, directory.rfind('/') + 1);
    std::string installed = directory + "../lib/libRavudaRovudeZazizu.so";
    struct stat status;
    if (stat(installed.c_str(), &status) == 0) return installed;
    return RRZ_BUILD_TREE_LIBRARY;
}

HostSession::HostSession(const Options& options, std::FILE* out) : mOptions(options), mOut(out) {}

void HostSession::print(const char* kind, const std::string& text) {
    std::lock_guard<std::mutex> lock(mPrintMutex);
    std::fprintf(mOut, "%s: %s\n", kind, text.c_str());
    std::fflush(mOut);
}

int HostSession::run() {
    std::ifstream file(mOptions.document, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "plugin-host: cannot read %s\n", mOptions.document.c_str());
        return EXIT_NO_INPUT;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::string url = mOptions.url.empty() ? "file://" + absolutePath(mOptions.document) : mOptions.url;

    // The controller stand-in listens in a private runtime directory unless
    // the caller chose one.
    std::string runtimeDir;
    if (mOptions.controller && std::getenv("QV_ZETA_RUNTIME_DIR") == nullptr) {
        char pattern[] = "/tmp/plugin-host-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            runtimeDir = pattern;
            setenv("QV_ZETA_RUNTIME_DIR", runtimeDir.c_str(), 1);
        }
    }
    std::unique_ptr<CPluginControllerService> controller;
    if (mOptions.controller) {
        controller.reset(new CPluginControllerService());
        controller->setObserver([this](const CPluginControllerService::Request& request) {
            print("controller", describe(request));
        });
        if (!controller->start()) print("controller", "could not start the plug-in controller stand-in");
    }

    host::HostBrowser browser;
    browser.setLogListener([this](const host::LogLine& line) {
        if (line.level >= 2 - mOptions.verbosity) print("log", std::string(levelName(line.level)) + " " + line.text);
    });
    host::PluginLibrary library;
    const std::string libraryPath = mOptions.library.empty() ? defaultLibraryPath(nullptr) : mOptions.library;
    if (!library.load(libraryPath)) {
        std::fprintf(stderr, "plugin-host: %s\n", library.error().c_str());
        return EXIT_SOFTWARE;
    }
    host::BrowserOptions browserOptions;
    browserOptions.privateFirst = true;
    if (browser.initialize(library, browserOptions) != NPERR_NO_ERROR) {
        std::fprintf(stderr, "plugin-host: the library refused initialisation (%d/%d)\n",
                     browser.initializeResult(), browser.initializePrivateResult());
        return EXIT_SOFTWARE;
    }
    library.NP_GetMIMEDescription();

    int status = EXIT_TIMED_OUT;
    {
        host::HostInstance instance(browser);
        if (instance.create(mOptions.mimeType, {{"src", url}, {"type", mOptions.mimeType}}) != NPERR_NO_ERROR ||
            instance.setWindow(0, 0, static_cast<uint32_t>(mOptions.width), static_cast<uint32_t>(mOptions.height)) !=
                NPERR_NO_ERROR) {
            std::fprintf(stderr, "plugin-host: the plug-in did not create its instance\n");
            return EXIT_SOFTWARE;
        }
        host::DrawTarget target(mOptions.width, mOptions.height);
        int frames = 0;
        auto paint = [&] {
            instance.draw(&target);
            if (!mOptions.framesDir.empty() && frames < 100000) {
                char name[64];
                std::snprintf(name, sizeof(name), "/frame-%04d.png", frames);
                target.writePng(mOptions.framesDir + name);
            }
            ++frames;
        };
        if (!mOptions.framesDir.empty()) mkdir(mOptions.framesDir.c_str(), 0777);

        host::HostInstance::Stream stream(instance, url, static_cast<uint32_t>(bytes.size()), mOptions.mimeType);
        bool failed = stream.begin() != NPERR_NO_ERROR;
        const auto frame = std::chrono::microseconds(1000000 / std::max(1, mOptions.fps));
        const auto start = Clock::now();
        const auto deadline = start + std::chrono::microseconds(static_cast<long long>(mOptions.timeout * 1e6));
        size_t sent = 0;
        bool finished = failed;
        size_t messagesSeen = 0;
        int lastRedraws = -1;
        Clock::time_point settleUntil;
        for (;;) {
            auto tick = Clock::now();
            if (!finished) {
                size_t budget = bytes.size() - sent;
                if (mOptions.byteRate > 0) {
                    double elapsed = std::chrono::duration<double>(tick - start).count();
                    size_t allowed = static_cast<size_t>(mOptions.byteRate * (elapsed + 1.0 / mOptions.fps));
                    budget = allowed > sent ? std::min(budget, allowed - sent) : 0;
                }
                if (budget > 0) {
                    long taken = stream.write(bytes.substr(sent, budget), mOptions.chunkSize);
                    if (taken < 0) {
                        failed = true;
                        stream.finish(NPRES_NETWORK_ERR);
                        finished = true;
                    } else {
                        sent += static_cast<size_t>(taken);
                    }
                }
                if (!finished && sent == bytes.size()) {
                    stream.finish(NPRES_DONE);
                    finished = true;
                }
            }
            browser.runPendingCalls();
            // Paint on the first frame and whenever the plug-in asked for one.
            if (browser.forceRedrawCount() != lastRedraws) {
                lastRedraws = browser.forceRedrawCount();
                paint();
            }
            auto messages = browser.messages();
            for (; messagesSeen < messages.size(); ++messagesSeen) {
                print("message", messages[messagesSeen].text + " (kind " +
                                     std::to_string(messages[messagesSeen].kind) + ")");
                failed = true;
            }
            auto navigations = browser.navigations();
            if (!navigations.empty()) {
                print("navigate", navigations[0].url + " (target " + navigations[0].target + ")");
                status = failed ? EXIT_ERROR_STATE : EXIT_NAVIGATED;
                break;
            }
            if (failed && finished) {
                // Let the plug-in's last posted calls (the error state) run and
                // show before stopping.
                if (settleUntil == Clock::time_point()) settleUntil = Clock::now() + std::chrono::milliseconds(300);
                if (Clock::now() >= settleUntil) {
                    status = EXIT_ERROR_STATE;
                    break;
                }
            }
            if (Clock::now() >= deadline) {
                print("timeout", "no navigation after " + std::to_string(mOptions.timeout) + " s");
                break;
            }
            std::this_thread::sleep_until(tick + frame);
        }
        paint();  // the final state, error colour included
        if (!mOptions.framesDir.empty()) {
            print("frames", std::to_string(frames) + " PNG files in " + mOptions.framesDir);
        }
        instance.destroy();
    }
    browser.shutdown(library);
    if (controller) controller->stop();
    if (!runtimeDir.empty()) rmdir(runtimeDir.c_str());
    return status;
}

}  // namespace plugin_host
