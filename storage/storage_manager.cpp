#include "storage/storage_manager.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "log/logger.h"
#include "params/office_params_base.h"
#include "platform/qv_directory_iterator.h"
#include "platform/qv_file_operations.h"
#include "storage/drw_file.h"
#include "storage/storage_lock.h"

const char* const CStorageManager::sVersion = "$Change: 273562 $";
const char* const CStorageManager::sShMemName = "officeplugin_storage_mutex";

namespace {

const UInt32 kDirMode = 0777;
// fgets reads at most this many characters minus one.
const int kVersionBufferSize = 31;

// Creates dir with its parents. An existing directory is fine; an existing
// non-directory fails with ENOTDIR.
bool ensureDirectory(const CQVString& dir) {
    if (QVFileOperations::makeDirRecursive(dir.c_str(), kDirMode)) {
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    CQVFileStatus status;
    if (QVFileOperations::getFileStatus(dir.c_str(), status) && status.isDirectory()) {
        return true;
    }
    errno = ENOTDIR;
    return false;
}

}  // namespace

CStorageManager::CStorageManager()
    : mInitialized(false),
      mVersionChecked(false),
      mStorageSize(sStorageSize),
      mShMem(sShMemName, CStorageLockBlock::size()),
      mCacheMutex(nullptr),
      mHash(new CHashMD5()) {
    mHash->md5_starts();
}

CStorageManager::~CStorageManager() {
    cleanup();
    delete mHash;
}

bool CStorageManager::init() {
    QV_LOG_ENTRY();
    const char* dataDir = COfficeParamsBase::getInstance()->getValue(COfficeParamsBase::DATA_PATH);
    mFilesDir = CQVString(dataDir) + "files/";
    mConvertedDir = CQVString(dataDir) + "converted/";

    int created = mShMem.create(false);
    if (created == CQVShMem::FAILED) {
        QV_LOG(LogMessage::ERROR, "Can't create shared memory: %s", strerror(errno));
        return false;
    }
    // A failed earlier init may have left the block mapped.
    if (mShMem.address() != nullptr) {
        mShMem.unmap();
    }
    if (!mShMem.map(CQVShMem::MAP_READ_WRITE)) {
        QV_LOG(LogMessage::ERROR, "Can't map shared memory: %s", strerror(errno));
        return false;
    }

    mCacheMutex = CStorageLockBlock::prepare(mShMem.address(), sMutexReadyTimeoutMs);
    if (mCacheMutex == nullptr) {
        QV_LOG(LogMessage::ERROR, "Error: the mutex in shared memory %s was not made ready",
               mShMem.name().c_str());
        QV_LOG(LogMessage::ERROR, "mCacheMutex == 0");
        if (!mShMem.unmap()) {
            QV_LOG(LogMessage::ERROR, "Can't unmap shared memory: %s", strerror(errno));
        }
        return false;
    }

    // Another process may hold the lock and be stopped: then the working
    // area stays as it is (the eviction pass collects what dead processes
    // left there) and the version is checked by the worker's first lookup.
    const bool locked = lockCache();
    if (locked) {
        // Only the first instance after boot creates the object, but an
        // instance of another process may have mapped it since and be
        // receiving already: what a live process claims stays, and so does
        // the directory it writes into.
        if (created == CQVShMem::CREATED) {
            collectWorkingArea(true);
        }
    } else {
        QV_LOG(LogMessage::WARNING, "Warning: going on without emptying the working area or checking the version");
    }
    // Making the directories needs no lock: it changes nothing that exists.
    const CQVString* missing = nullptr;
    if (!ensureDirectory(mFilesDir)) {
        missing = &mFilesDir;
    } else if (!ensureDirectory(mConvertedDir)) {
        missing = &mConvertedDir;
    }
    if (missing != nullptr) {
        QV_LOG(LogMessage::ERROR, "Can't create %s directory: %s", missing->c_str(), strerror(errno));
    } else if (locked) {
        removeOutdatedCache();
        mVersionChecked = true;
    }
    if (locked) {
        unlockCache();
    }
    mInitialized = missing == nullptr;
    return mInitialized;
}

void CStorageManager::cleanup() {
    if (!mInitialized) {
        return;
    }
    if (!mShMem.unmap()) {
        QV_LOG(LogMessage::ERROR, "Can't unmap shared memory: %s", strerror(errno));
    }
    // The mutex lived in the mapping just released.
    mCacheMutex = nullptr;
    mInitialized = false;
}

bool CStorageManager::lockCache(UInt32 waitMs, const std::atomic<bool>* cancelled) const {
    if (mCacheMutex == nullptr) {
        QV_LOG(LogMessage::ERROR, "mCacheMutex == 0");
        return false;
    }
    // A long wait is cut into slices so that a cancellation is seen soon.
    const UInt32 kSliceMs = 50;
    UInt32 waited = 0;
    CQVMutex::LockResult result = CQVMutex::LOCK_TIMED_OUT;
    while (result == CQVMutex::LOCK_TIMED_OUT && (cancelled == nullptr || !cancelled->load())) {
        const UInt32 slice = cancelled == nullptr || waitMs - waited < kSliceMs ? waitMs - waited : kSliceMs;
        result = mCacheMutex->timedLockEx(slice);
        waited += slice;
        if (waited >= waitMs) {
            break;
        }
    }
    if (result == CQVMutex::LOCKED_OWNER_DIED) {
        QV_LOG(LogMessage::WARNING,
               "Warning: a process died holding the storage lock; lock recovered");
        recoverAfterOwnerDeath();
    } else if (result == CQVMutex::LOCK_TIMED_OUT && cancelled != nullptr && cancelled->load()) {
        QV_LOG(LogMessage::MESSAGE, "wait for the storage lock given up after %u ms", static_cast<unsigned>(waited));
        return false;
    } else if (result == CQVMutex::LOCK_TIMED_OUT) {
        QV_LOG(LogMessage::ERROR, "Error: the storage lock was not free within %u ms", static_cast<unsigned>(waited));
        return false;
    } else if (result == CQVMutex::LOCK_FAILED) {
        QV_LOG(LogMessage::ERROR, "Can't lock the storage mutex");
        return false;
    }
    return true;
}

void CStorageManager::checkVersionOnce() const {
    if (!mVersionChecked) {
        removeOutdatedCache();
        mVersionChecked = true;
    }
}

void CStorageManager::unlockCache() const {
    if (mCacheMutex == nullptr) {
        QV_LOG(LogMessage::ERROR, "mCacheMutex == 0");
        return;
    }
    mCacheMutex->unlock();
}

void CStorageManager::recoverAfterOwnerDeath() const {
    // The dead owner may have been between removing and recreating the
    // cache directory. An index or checksum it left half-changed is caught
    // by the checksum on the next read; files are only ever replaced by
    // rename, so nothing is half-written.
    if (mConvertedDir.isEmpty()) {
        return;
    }
    CQVFileStatus status;
    if (!QVFileOperations::getFileStatus(mConvertedDir.c_str(), status) && errno == ENOENT) {
        if (ensureDirectory(mConvertedDir)) {
            writeVersionFile();
        } else {
            QV_LOG(LogMessage::ERROR, "Can't create /converted directory: %s", strerror(errno));
        }
    }
}

void CStorageManager::removeOutdatedCache() const {
    QV_LOG_ENTRY();
    if (!lockCache()) {
        return;
    }
    CQVString path = mConvertedDir + "version";
    bool cleared = false;

    FILE* file = std::fopen(path.c_str(), "rt");
    if (file != nullptr) {
        char buffer[kVersionBufferSize] = {0};
        bool read = std::fgets(buffer, sizeof(buffer), file) != nullptr;
        if (std::fclose(file) != 0) {
            QV_LOG(LogMessage::ERROR, "Can't close /version file: %s", strerror(errno));
        }
        if (!read) {
            QV_LOG(LogMessage::ERROR, "Can't read from /version file");
        } else {
            QV_LOG(LogMessage::MESSAGE, "Current cache version:%s", buffer);
            QV_LOG(LogMessage::MESSAGE, "Current plugin version:%s", sVersion);
            if (std::strcmp(buffer, sVersion) == 0) {
                unlockCache();
                return;
            }
            QV_LOG(LogMessage::WARNING, "Plugin version doesn't equals to the cache version");
        }
    } else {
        QV_LOG(LogMessage::WARNING, "can't open /version file: %s", strerror(errno));
    }
    cleared = clearCache();
    // clearCache writes the version file into the directory it recreates;
    // when it could not, the directory may still be there and needs it.
    if (!cleared) {
        writeVersionFile();
    }
    unlockCache();
}

void CStorageManager::writeVersionFile() const {
    CQVString path = mConvertedDir + "version";
    CQVString tmpPath = path + ".new";
    CDRWFile file(path.c_str(), tmpPath.c_str());
    FILE* stream = file.open();
    if (stream == nullptr) {
        QV_LOG(LogMessage::ERROR, "can't open /version file: %s", strerror(errno));
        return;
    }
    if (std::fputs(sVersion, stream) < 0) {
        QV_LOG(LogMessage::ERROR, "Can't write /version file: %s", strerror(errno));
    }
    if (!file.close()) {
        QV_LOG(LogMessage::ERROR, "Can't close /version file: %s", strerror(errno));
    }
}

bool CStorageManager::clearCache() const {
    QV_LOG_ENTRY();
    if (mConvertedDir.isEmpty()) {
        // Before init() there is no cache directory to clear.
        return false;
    }
    if (!lockCache()) {
        return false;
    }
    bool result = false;
    // A missing directory counts as removed: it must be made again.
    if (!QVFileOperations::recursiveRemove(mConvertedDir.c_str()) && errno != ENOENT) {
        QV_LOG(LogMessage::ERROR, "Can't remove /converted: %s", strerror(errno));
    } else if (!ensureDirectory(mConvertedDir)) {
        QV_LOG(LogMessage::ERROR, "Can't create /converted directory: %s", strerror(errno));
    } else {
        // Without it the next start would find no version and clear again.
        writeVersionFile();
        result = true;
    }
    unlockCache();
    return result;
}

UInt64 CStorageManager::getDirectorySize(const CQVString& dir) {
    UInt64 total = 0;
    for (CQVDirectoryIterator it(dir), end; it != end; ++it) {
        CQVString path = dir + "/" + *it;
        CQVFileStatus status;
        if (!QVFileOperations::getFileStatus(path.c_str(), status)) {
            QV_LOG(LogMessage::ERROR, "Can't get status of %s: %s", path.c_str(), strerror(errno));
            continue;
        }
        if (status.isDirectory()) {
            total += getDirectorySize(path);
        } else if (status.isRegularFile()) {
            total += status.getSize();
        }
    }
    return total;
}

bool CStorageManager::syncTree(const CQVString& dir) {
    bool synced = true;
    int error = 0;
    for (CQVDirectoryIterator it(dir), end; it != end; ++it) {
        CQVString path = dir + "/" + *it;
        CQVFileStatus status;
        if (!QVFileOperations::getFileStatus(path.c_str(), status)) {
            continue;
        }
        bool ok = true;
        if (status.isDirectory()) {
            ok = syncTree(path);
        } else if (status.isRegularFile()) {
            int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            ok = fd >= 0 && QVFileOperations::syncFile(fd);
            int failure = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            errno = failure;
        }
        if (!ok && synced) {
            synced = false;
            error = errno;
        }
    }
    if (!QVFileOperations::syncDirectory(dir.c_str()) && synced) {
        synced = false;
        error = errno;
    }
    errno = error;
    return synced;
}
