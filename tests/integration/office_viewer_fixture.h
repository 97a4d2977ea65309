// OfficeViewerFixture: the shipped plug-in library, driven through the host
// stand-in, converting with the converter stand-in. Every test gets its own
// data directory, shared-memory prefix and controller runtime directory.
//
// The converter stand-in reads the document it converts as its script (see
// tests/converter_stub), so a test's document bytes choose what the
// converter does.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/integration/plugin_fixture.h"

class OfficeViewerFixture : public PluginFixture {
protected:
    OfficeViewerFixture() : PluginFixture(RRZ_PLUGIN_PATH) {}

    void SetUp() override {
        char pattern[] = "/tmp/rrz-office-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        mRoot = pattern;
        mDataDir = mRoot + "/data/";
        setenv("OFFICE_PLUGINS_DATA", mDataDir.c_str(), 1);
        setenv("OFFICE_PLUGINS_BIN", RRZ_CONVERTER_STUB_DIR, 1);
        setenv("OFFICE_PLUGINS_TIME_LIMIT", "30", 1);
        unsetenv("OFFICE_PLUGINS_MIME_TYPES");
        std::string prefix = "rrz-test-" + std::to_string(getpid()) + "-";
        setenv("QV_SHM_PREFIX", prefix.c_str(), 1);
        PluginFixture::SetUp();
    }

    void TearDown() override {
        PluginFixture::TearDown();
        std::string shm = "/dev/shm/" + std::string(getenv("QV_SHM_PREFIX")) + "officeplugin_storage_mutex";
        unlink(shm.c_str());
        std::string command = "rm -rf '" + mRoot + "'";
        if (std::system(command.c_str()) != 0) ADD_FAILURE() << "cannot remove " << mRoot;
    }

    // NP_Initialize, private table first, and the MIME description asked for
    // once, as a browser does when it scans its plug-ins.
    void start(host::BrowserOptions options = host::BrowserOptions()) {
        options.privateFirst = true;
        initialize(options);
        ASSERT_NE(nullptr, library.NP_GetMIMEDescription());
    }

    // A created instance with an 800 x 480 window.
    void open(host::HostInstance& instance) {
        ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/msword"));
        ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 800, 480));
    }

    bool waitForNavigation(size_t count = 1, int timeoutMs = 20000) {
        return browser.runUntil([&] { return browser.navigations().size() >= count; },
                                std::chrono::milliseconds(timeoutMs));
    }

    bool waitForLog(const std::string& fragment, int timeoutMs = 20000) {
        return browser.runUntil([&] { return browser.logContains(fragment); }, std::chrono::milliseconds(timeoutMs));
    }

    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static bool exists(const std::string& path) {
        struct stat status;
        return stat(path.c_str(), &status) == 0;
    }

    // A converter script that writes an entry page carrying `text`.
    static std::string convertingScript(const std::string& text) {
        return "msg 0 converting " + text + "\nindex " + text + "\n";
    }

    const std::string& dataDir() const { return mDataDir; }
    const std::string& root() const { return mRoot; }

private:
    std::string mRoot;
    std::string mDataDir;
};

// ARGB32 values of the configured colours, fully opaque.
constexpr uint32_t kBackgroundPixel = 0xFF2E3436u;
constexpr uint32_t kProgressPixel = 0xFF3465A4u;
constexpr uint32_t kErrorPixel = 0xFFEF2929u;
