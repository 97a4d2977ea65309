// Test support for documents: the converter stand-in as the converter and a
// storage directory of the test's own, plus the check that a test leaves no
// converter process and no descriptor behind.
#pragma once

#include "tests/support/open_descriptors.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "params/office_params_base.h"
#include "converter/document.h"
#include "storage/storage_manager.h"
#include "storage/storage_manager_test_util.h"

namespace storage_test {

using test_support::openDescriptors;

inline bool hasNoChildren() {
    siginfo_t info;
    for (int waited = 0; waited < 2000; waited += 5) {
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Feeds bytes to a document in 197-byte pieces, as a browser stream would.
inline bool receive(CDocument& document, const std::string& bytes) {
    if (!document.startWrite()) return false;
    for (size_t at = 0; at < bytes.size(); at += 197) {
        size_t piece = bytes.size() - at < 197 ? bytes.size() - at : 197;
        if (document.write(bytes.data() + at, static_cast<Int32>(piece)) != static_cast<Int32>(piece)) {
            return false;
        }
    }
    return document.finishWrite();
}

class DocumentTest : public StorageTest {
protected:
    // Before StorageTest::SetUp reads the configuration.
    DocumentTest() { ::setenv("OFFICE_PLUGINS_BIN", RRZ_CONVERTER_STUB_DIR, 1); }

    void SetUp() override {
        StorageTest::SetUp();
        const char* bin = COfficeParamsBase::getInstance()->getValue(COfficeParamsBase::BIN_PATH);
        ASSERT_EQ(std::string(RRZ_CONVERTER_STUB_DIR) + "/", bin);
        ::setenv("OFFICE_PLUGINS_TIME_LIMIT", "10", 1);
        ASSERT_TRUE(mManager.init());
        mDescriptors = openDescriptors();
    }
    void TearDown() override {
        EXPECT_TRUE(hasNoChildren()) << "a converter process is left";
        EXPECT_EQ(mDescriptors, openDescriptors()) << "a descriptor is left open";
        mManager.cleanup();
        StorageTest::TearDown();
    }

    // A new document of the manager; fails the test when refused.
    DocumentPtr newDocument(UInt32 size = 1000) {
        CQVString path = mManager.newDocument("docx", size);
        EXPECT_FALSE(path.isEmpty());
        return path.isEmpty() ? DocumentPtr() : DocumentPtr(new CDocument(path.c_str()));
    }

    CStorageManager mManager;
    std::set<std::string> mDescriptors;
};

}  // namespace storage_test
