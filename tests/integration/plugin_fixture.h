// PluginFixture: a test that drives a built plug-in library through the host
// stand-in, as the browser does. Each test gets a fresh load of the library
// (its static state starts cleared) and a private runtime directory for the
// controller connection, so parallel tests never meet.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/host_browser.h"
#include "host/host_instance.h"
#include "host/plugin_library.h"
#include "tests/support/temp_dir.h"

class PluginFixture : public ::testing::Test {
protected:
    explicit PluginFixture(const char* libraryPath) : mLibraryPath(libraryPath) {}

    void SetUp() override {
        ASSERT_FALSE(mRuntimeDir.path().empty());
        setenv("QV_ZETA_RUNTIME_DIR", mRuntimeDir.path().c_str(), 1);
        ASSERT_TRUE(library.load(mLibraryPath)) << library.error();
    }

    void TearDown() override { library.unload(); }

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

    host::HostBrowser browser;
    host::PluginLibrary library;

private:
    std::string mLibraryPath;
    test_support::TempDir mRuntimeDir{"rrz-plugin-test"};
};
