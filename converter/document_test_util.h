// The document tests' fixture: a storage directory of the test's own, the
// converter stand-in as the converter, and the check that a test leaves no
// converter process and no descriptor behind.
#pragma once

#include <stdlib.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "converter/converter_test_util.h"
#include "converter/document.h"
#include "storage/storage_manager.h"
#include "storage/storage_manager_test_util.h"

namespace storage_test {

using namespace test_support;

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
    void SetUp() override {
        StorageTest::SetUp();
        ::setenv("OFFICE_PLUGINS_TIME_LIMIT", "10", 1);
        converter_test::useConverterDir(converterStandInDir());
        ASSERT_TRUE(mManager.init());
        mDescriptors = openDescriptors();
    }
    void TearDown() override {
        EXPECT_TRUE(eventually(hasNoChildren)) << "a converter process is left";
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
