// Test support for CStorageManager: a per-process data directory, emptied
// before every test, and a per-test shared-memory name prefix, so that tests
// running in parallel (and a plug-in installed on the machine) never share a
// storage directory or the storage mutex. Every test gets a fresh
// QV_SHM_PREFIX: its first manager therefore sees the first start after boot.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "params/office_params_base.h"
#include "platform/qv_shmem.h"
#include "storage/storage_lock.h"
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

inline CStorageManager::CacheEntry makeEntry(UInt8 key, UInt64 time, UInt32 size,
                                             const char* entryPoint = "index.html") {
    CStorageManager::CacheEntry entry;
    for (int i = 0; i < 16; ++i) {
        entry.md5[i] = static_cast<UInt8>(key + i * 17);
    }
    entry.time = time;
    entry.size = size;
    entry.setEntryPoint(entryPoint);
    return entry;
}

// The cached directory of an entry, with its entry page.
inline std::string cachedDir(const CStorageManager::CacheEntry& entry) {
    return convertedDir() + hexOf(entry.md5);
}

inline bool makeCachedDir(const CStorageManager::CacheEntry& entry) {
    std::string dir = cachedDir(entry);
    return ::mkdir(dir.c_str(), 0777) == 0 && writeFile(dir + "/" + entry.entryPoint, "<html/>");
}

// Makes a file impossible to remove (and so its directory): as root through
// the immutable attribute, otherwise by taking write permission from its
// directory. Undone by the destructor. ok() is false where neither works.
class Unremovable {
public:
    explicit Unremovable(const std::string& file) : mFile(file), mImmutable(false), mOk(false) {
        mDir = file.substr(0, file.find_last_of('/'));
        if (::geteuid() == 0) {
            mImmutable = setImmutable(true);
            mOk = mImmutable;
        } else {
            mOk = ::chmod(mDir.c_str(), 0500) == 0;
        }
    }
    ~Unremovable() {
        if (mImmutable) {
            setImmutable(false);
        } else if (mOk) {
            ::chmod(mDir.c_str(), 0700);
        }
    }
    bool ok() const { return mOk; }

private:
    bool setImmutable(bool on) {
        int fd = ::open(mFile.c_str(), O_RDONLY);
        if (fd < 0) {
            return false;
        }
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    std::string mFile;
    std::string mDir;
    bool mImmutable;
    bool mOk;
};

// True when a thread other than the caller can take the storage mutex now.
inline bool lockIsFreeForOthers() {
    CQVShMem shMem(CStorageManager::sShMemName, CStorageLockBlock::size());
    if (shMem.create(false) == CQVShMem::FAILED || !shMem.map(CQVShMem::MAP_READ_WRITE)) {
        return false;
    }
    pthread_mutex_t* mutex = static_cast<CQVMutex*>(shMem.address())->native();
    bool free = false;
    std::thread other([&] {
        if (pthread_mutex_trylock(mutex) == 0) {
            free = true;
            pthread_mutex_unlock(mutex);
        }
    });
    other.join();
    return free;
}

class StorageTest : public ::testing::Test {
protected:
    // The prefix is set here, not in SetUp: managers that are members of a
    // derived fixture take their object name when they are constructed.
    StorageTest() {
        static int counter = 0;
        mPrefix = "rrz_st_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_";
        ::setenv("QV_SHM_PREFIX", mPrefix.c_str(), 1);
    }

    // Points OFFICE_PLUGINS_DATA at an empty dataDir().
    void SetUp() override {
        removeTree(dataDir());
        ASSERT_EQ(0, ::mkdir(dataDir().c_str(), 0777));
        ::setenv("OFFICE_PLUGINS_DATA", dataDir().c_str(), 1);
        COfficeParamsBase::reload();
    }
    void TearDown() override { CQVShMem::remove(CStorageManager::sShMemName); }

    std::string mPrefix;
};

}  // namespace storage_test
