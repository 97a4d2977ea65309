// Test support for CStorageManager: a per-process data directory, emptied
// before every test, and a per-test shared-memory name prefix, so that tests
// running in parallel (and a plug-in installed on the machine) never share a
// storage directory or the storage mutex. Every test gets a fresh
// QV_SHM_PREFIX: its first manager therefore sees the first start after boot.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "params/office_params_base.h"
#include "platform/qv_shmem.h"
#include "storage/storage_manager.h"
#include "tests/support/files.h"
#include "tests/support/md5_hex.h"
#include "tests/support/temp_dir.h"

namespace storage_test {

using namespace test_support;

// "<tmp>/data/", the process's data directory.
inline const std::string& dataDir() {
    static TempDir root("rrz_storage_data");
    static const std::string dir = root / "data/";
    return dir;
}
inline std::string filesDir() { return dataDir() + "files/"; }
inline std::string convertedDir() { return dataDir() + "converted/"; }
inline std::string cacheDb() { return convertedDir() + "/cache.db"; }
inline std::string cacheChecksum() { return convertedDir() + "/cache_checksum"; }
inline std::string versionFile() { return convertedDir() + "version"; }

inline CStorageManager::CacheEntry makeEntry(UInt8 key, UInt64 time, UInt32 size) {
    CStorageManager::CacheEntry entry;
    for (int i = 0; i < 16; ++i) entry.md5[i] = static_cast<UInt8>(key + i * 17);
    entry.time = time;
    entry.size = size;
    entry.setEntryPoint("index.html");
    return entry;
}

// The cached directory of an entry, and one made with an entry page.
inline std::string cachedDir(const CStorageManager::CacheEntry& entry) { return convertedDir() + hexOf(entry.md5); }
inline bool makeCachedDir(const CStorageManager::CacheEntry& entry) {
    return ::mkdir(cachedDir(entry).c_str(), 0777) == 0 && writeFile(cachedDir(entry) + "/index.html", "<html/>");
}

// Records with their cached directories, committed as the index.
inline void commitRecords(CStorageManager& manager, const TQVVector<CStorageManager::CacheEntry>& list) {
    for (int i = 0; i < list.size(); ++i) ASSERT_TRUE(makeCachedDir(list[i]));
    ASSERT_TRUE(manager.writeCache(list));
}

class StorageTest : public ::testing::Test {
protected:
    // The prefix is set here, not in SetUp: managers that are members of a
    // derived fixture take their object name when they are constructed.
    StorageTest() {
        static int counter = 0;
        ::setenv("QV_SHM_PREFIX", ("rrz_st_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_").c_str(), 1);
    }
    // Points OFFICE_PLUGINS_DATA at an empty dataDir().
    void SetUp() override {
        removeTree(dataDir());
        ASSERT_EQ(0, ::mkdir(dataDir().c_str(), 0777));
        ::setenv("OFFICE_PLUGINS_DATA", dataDir().c_str(), 1);
        COfficeParamsBase::reload();
    }
    void TearDown() override { CQVShMem::remove(CStorageManager::sShMemName); }
};

}  // namespace storage_test
