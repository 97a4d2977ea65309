// PluginFixture: a test that drives a built plug-in library through the host
// stand-in, as the browser does. Each test gets a fresh load of the library
// (its static state starts cleared) and a private runtime directory for the
// controller connection, so parallel tests never meet.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host/host_browser.h"
#include "host/host_instance.h"
#include "host/plugin_library.h"

class PluginFixture : public ::testing::Test {
protected:
    explicit PluginFixture(const char* libraryPath) : mLibraryPath(libraryPath) {}

    void SetUp() override {
        char pattern[] = "/tmp/rrz-plugin-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        mRuntimeDir = pattern;
        setenv("QV_ZETA_RUNTIME_DIR", mRuntimeDir.c_str(), 1);
        ASSERT_TRUE(library.load(mLibraryPath)) << library.error();
    }

    void TearDown() override {
        library.unload();
        std::string command = "rm -rf '" + mRuntimeDir + "'";
        if (std::system(command.c_str()) != 0) ADD_FAILURE() << "cannot remove " << mRuntimeDir;
    }

    // NP_Initialize (+ private table) with the given options; asserts success.
    void initialize(host::BrowserOptions options = host::BrowserOptions()) {
        ASSERT_EQ(NPERR_NO_ERROR, browser.initialize(library, options));
    }

    template <typename Fn>
    Fn wrapper(const char* name) {
        void* address = library.symbol(name);
        EXPECT_NE(nullptr, address) << name << " is not exported";
        return reinterpret_cast<Fn>(address);
    }

    const std::string& runtimeDir() const { return mRuntimeDir; }

    host::HostBrowser browser;
    host::PluginLibrary library;

private:
    std::string mLibraryPath;
    std::string mRuntimeDir;
};
