// OfficeViewerFixture: the shipped plug-in library, driven through the host
// stand-in, converting with the converter stand-in. Every test gets its own
// data directory, shared-memory prefix and controller runtime directory.
//
// The converter stand-in reads the document it converts as its script (see
// tests/converter_stub), so a test's document bytes choose what the
// converter does.
#pragma once

#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/integration/plugin_fixture.h"
#include "tests/support/converter_stand_in.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

using test_support::convertingScript;
using test_support::exists;
using test_support::readFile;

class OfficeViewerFixture : public PluginFixture {
protected:
    OfficeViewerFixture() : PluginFixture(RRZ_PLUGIN_PATH) {}

    void SetUp() override {
        ASSERT_FALSE(mRoot.path().empty());
        mDataDir = mRoot / "data/";
        setenv("OFFICE_PLUGINS_DATA", mDataDir.c_str(), 1);
        setenv("OFFICE_PLUGINS_BIN", test_support::converterStandInDir(), 1);
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

    const std::string& dataDir() const { return mDataDir; }
    const std::string& root() const { return mRoot.path(); }

private:
    test_support::TempDir mRoot{"rrz-office"};
    std::string mDataDir;
};

// ARGB32 values of the configured colours, fully opaque.
constexpr uint32_t kBackgroundPixel = 0xFF2E3436u;
constexpr uint32_t kProgressPixel = 0xFF3465A4u;
constexpr uint32_t kErrorPixel = 0xFFEF2929u;
