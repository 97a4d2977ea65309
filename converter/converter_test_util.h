// The converter tests' fixtures: the converter stand-in is the configured
// converter, the time limit is 10 s unless a test sets another, and a test
// fails when it leaves a converter process or a descriptor behind.
#pragma once

#include <stdlib.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "converter/document.h"
#include "params/office_params_base.h"
#include "params/office_plugin_params.h"
#include "storage/storage_manager_test_util.h"
#include "tests/support/converter_stand_in.h"
#include "tests/support/processes.h"

namespace converter_test {

using namespace test_support;

inline void useConverterDir(const std::string& dir) {
    ::setenv("OFFICE_PLUGINS_BIN", dir.c_str(), 1);
    COfficeParamsBase::reload();
}
inline void setTimeLimit(const char* seconds) { ::setenv("OFFICE_PLUGINS_TIME_LIMIT", seconds, 1); }

// Also a storage directory and lock of the test's own (StorageTest).
class ConverterTest : public storage_test::StorageTest {
protected:
    // Before the members of derived fixtures, which may read the
    // configuration when they are built; as in the plug-in, the singletons
    // are made on one thread before any conversion runs.
    ConverterTest() {
        useConverterDir(converterStandInDir());
        setTimeLimit("10");
        COfficePluginParams::getInstance();
    }
    void SetUp() override {
        StorageTest::SetUp();
        mDescriptors = openDescriptors();
    }
    void TearDown() override {
        EXPECT_TRUE(eventually(hasNoChildren)) << "a converter process is left";
        EXPECT_EQ(mDescriptors, openDescriptors()) << "a descriptor is left open";
        StorageTest::TearDown();
    }
    // Writes a stand-in script as a document in the temporary directory.
    std::string script(const std::string& name, const std::string& text) {
        EXPECT_TRUE(writeFile(mDir / name, text));
        return mDir / name;
    }

    TempDir mDir;
    std::set<std::string> mDescriptors;
};

// Feeds bytes to a document in 197-byte pieces, as a browser stream would.
inline bool receive(CDocument& document, const std::string& bytes) {
    if (!document.startWrite()) return false;
    for (size_t at = 0; at < bytes.size(); at += 197) {
        Int32 piece = static_cast<Int32>(std::min<size_t>(197, bytes.size() - at));
        if (document.write(bytes.data() + at, piece) != piece) return false;
    }
    return document.finishWrite();
}

// With a started storage manager, for documents.
class DocumentTest : public ConverterTest {
protected:
    void SetUp() override {
        ConverterTest::SetUp();
        ASSERT_TRUE(mManager.init());
        mDescriptors = openDescriptors();  // the lock's mapping stays
    }
    void TearDown() override {
        mManager.cleanup();
        ConverterTest::TearDown();
    }
    DocumentPtr newDocument() {
        CQVString path = mManager.newDocument("docx", 1000);
        EXPECT_FALSE(path.isEmpty());
        return DocumentPtr(new CDocument(path.c_str()));
    }

    CStorageManager mManager;
};

}  // namespace converter_test
