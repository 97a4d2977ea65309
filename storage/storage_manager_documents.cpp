// Document intake and cache lookup: new documents, their file names, the
// converter's output directory, and finding and adding cached conversions.

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "log/logger.h"
#include "params/office_params_base.h"
#include "platform/qv_file_operations.h"
#include "storage/storage_manager.h"

namespace {

// Sizes above 32 bits stand for "more than any budget" rather than wrapping.
UInt32 clampTo32(UInt64 value) { return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<UInt32>(value); }

// The real-time clock in nanoseconds since the epoch; false when unreadable.
bool nowNanoseconds(UInt64& ns) {
    timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return false;
    }
    ns = static_cast<UInt64>(now.tv_sec) * 1000000000ull + static_cast<UInt64>(now.tv_nsec);
    return true;
}

// The index of md5's first record in list, -1 when there is none.
int findRecord(const TQVVector<CCacheEntry>& list, const UInt8 (&md5)[16]) {
    for (int i = 0; i < list.size(); ++i) {
        if (std::memcmp(list.get(i).md5, md5, sizeof(md5)) == 0) {
            return i;
        }
    }
    return -1;
}

}  // namespace

CQVString CStorageManager::newDocument(const char* extension, UInt32 size) const {
    QV_LOG_ENTRY();
    CQVString path = CQVString(COfficeParamsBase::getInstance()->getValue(COfficeParamsBase::DATA_PATH)) +
                     "/files/" + generateFilename(extension);
    QV_LOG(LogMessage::MESSAGE, "filePath: %s", path.c_str());
    if (requiredSpace(size) > mStorageSize) {
        QV_LOG(LogMessage::WARNING, "Required size is more than storage size");
        QV_LOG(LogMessage::WARNING, "Can't allocate disk space for document");
        return CQVString();
    }
    return path;
}

UInt32 CStorageManager::requiredSpace(UInt32 size) { return clampTo32(static_cast<UInt64>(size) * 3u); }

CQVString CStorageManager::generateFilename(const char* extension) {
    UInt64 ns = 0;
    if (!nowNanoseconds(ns)) {
        QV_LOG(LogMessage::ERROR, "clock_gettime: %s", strerror(errno));
        ns = 0;
    }
    char text[48];
    std::snprintf(text, sizeof(text), "%llu_%d.", static_cast<unsigned long long>(ns),
                  getRandomNumber());
    return CQVString(text) + extension;
}

int CStorageManager::getRandomNumber() {
    static std::once_flag seeded;
    std::call_once(seeded, [] { std::srand(static_cast<unsigned>(getpid())); });
    return std::rand();
}

CQVString CStorageManager::getDestinationDirectory(const CQVString& filePath) const {
    CQVString path = filePath + "_files/";
    if (!QVFileOperations::makeDirRecursive(path.c_str(), 0777)) {
        CQVFileStatus status;
        bool present = errno == EEXIST && QVFileOperations::getFileStatus(path.c_str(), status) &&
                       status.isDirectory();
        if (!present) {
            QV_LOG(LogMessage::ERROR, "Can't create directory %s", path.c_str());
        }
    }
    return path;
}

bool CStorageManager::checkDocumentExistence(const UInt8 (&md5)[16], const CQVString& entryPoint) const {
    CQVString path = mConvertedDir + md5ToString(md5) + "/" + entryPoint;
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) {
        return false;
    }
    // A page that a power loss cut to nothing is as good as missing.
    struct stat status;
    bool filled = ::fstat(fileno(file), &status) == 0 && status.st_size > 0;
    if (std::fclose(file) != 0) {
        QV_LOG(LogMessage::ERROR, "Can't close %s: %s", path.c_str(), strerror(errno));
    }
    if (!filled) {
        QV_LOG(LogMessage::WARNING, "Warning: %s is empty", path.c_str());
    }
    return filled;
}

bool CStorageManager::findDocumentInCache(const UInt8 (&md5)[16], CQVString& path) const {
    QV_LOG_ENTRY();
    if (!lockCache()) {
        return false;
    }
    TQVVector<CacheEntry> list;
    if (!readCache(list)) {
        QV_LOG(LogMessage::WARNING, "Can't read cache");
        unlockCache();
        return false;
    }
    int index = findRecord(list, md5);
    if (index < 0) {
        unlockCache();
        return false;
    }
    if (checkDocumentExistence(md5, list.get(index).entryPoint)) {
        QV_LOG(LogMessage::MESSAGE, "found");
        path = mConvertedDir + md5ToString(md5) + "/" + list.get(index).entryPoint;
        unlockCache();
        return true;
    }
    CQVString dir = mConvertedDir + md5ToString(md5);
    // A directory deleted by hand leaves nothing to remove.
    if (!QVFileOperations::recursiveRemove(dir.c_str()) && errno != ENOENT) {
        QV_LOG(LogMessage::WARNING, "Can't remove %s: %s", dir.c_str(), strerror(errno));
    }
    list.erase(index);
    if (!writeCache(list)) {
        QV_LOG(LogMessage::ERROR, "Can't write cache");
    }
    unlockCache();
    return false;
}

bool CStorageManager::touchDocument(const UInt8 (&md5)[16]) const {
    QV_LOG_ENTRY();
    if (!lockCache()) {
        return false;
    }
    TQVVector<CacheEntry> list;
    int index = readCache(list) ? findRecord(list, md5) : -1;
    bool touched = false;
    if (index >= 0) {
        CacheEntry& entry = list.get(index);
        UInt64 ns = 0;
        if (nowNanoseconds(ns)) {
            entry.time = ns;
        } else {
            QV_LOG(LogMessage::ERROR, "clock_gettime: %s", strerror(errno));
        }
        touched = writeCache(list);
        if (!touched) {
            QV_LOG(LogMessage::ERROR, "Can't write cache");
        }
    }
    unlockCache();
    return touched;
}

CQVString CStorageManager::addDocumentToCache(const UInt8 (&md5)[16], const CQVString& convertedDir,
                                              const CQVString& entryPoint) const {
    QV_LOG_ENTRY();
    if (!lockCache()) {
        return convertedDir + "/" + entryPoint;
    }
    CQVString path;
    if (findDocumentInCache(md5, path)) {
        // Cached by another instance or process while this one converted.
        QV_LOG(LogMessage::MESSAGE, "found in cache");
        if (!QVFileOperations::recursiveRemove(convertedDir.c_str())) {
            QV_LOG(LogMessage::ERROR, "Can't remove %s: %s", convertedDir.c_str(), strerror(errno));
        }
        unlockCache();
        return path;
    }
    CacheEntry entry;
    if (!entry.setEntryPoint(entryPoint.c_str())) {
        // The record could not name the page: show it from the working area.
        QV_LOG(LogMessage::ERROR, "Entry page name not accepted: %s", entryPoint.c_str());
        unlockCache();
        return convertedDir + "/" + entryPoint;
    }
    UInt32 size = clampTo32(getDirectorySize(convertedDir));
    if (!squeezeCache(size)) {
        QV_LOG(LogMessage::WARNING, "Can't allocate disk space for converted document");
    }
    // On the disk before anything names it: a record never outlives its
    // pages in a power loss.
    if (!syncTree(convertedDir)) {
        QV_LOG(LogMessage::ERROR, "Can't sync %s: %s", convertedDir.c_str(), strerror(errno));
        unlockCache();
        return convertedDir + "/" + entryPoint;
    }
    CQVString target = mConvertedDir + md5ToString(md5);
    QVFileOperations::recursiveRemove(target.c_str());
    if (!QVFileOperations::rename(convertedDir.c_str(), target.c_str())) {
        QV_LOG(LogMessage::ERROR, "Can't move %s to %s: %s", convertedDir.c_str(), target.c_str(),
               strerror(errno));
        unlockCache();
        return convertedDir + "/" + entryPoint;
    }
    // The move becomes durable with the index commit's sync of the same
    // directory.
    std::memcpy(entry.md5, md5, sizeof(md5));
    if (!nowNanoseconds(entry.time)) {
        QV_LOG(LogMessage::ERROR, "clock_gettime: %s", strerror(errno));
        entry.time = 0;
    }
    entry.size = size;
    TQVVector<CacheEntry> list;
    if (!readCache(list)) {
        QV_LOG(LogMessage::WARNING, "Can't read cache");
    }
    list.push_back(entry);
    if (!writeCache(list)) {
        QV_LOG(LogMessage::ERROR, "Can't write cache");
    }
    unlockCache();
    return target + "/" + entryPoint;
}
