// The eviction pass: what dead processes left behind, then cached
// conversions under the size budget, least recently used first.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>

#include "log/logger.h"
#include "platform/qv_directory_iterator.h"
#include "platform/qv_file_operations.h"
#include "storage/storage_manager.h"
#include "storage/working_file.h"

namespace {

const char kOutputSuffix[] = "_files";

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool CStorageManager::squeezeCache(UInt32 required) const {
    QV_LOG_ENTRY();
    if (mStorageSize < required) {
        QV_LOG(LogMessage::WARNING, "Required size is more than storage size");
        return false;
    }
    if (!lockCache()) {
        return false;
    }
    TQVVector<CacheEntry> list;
    if (readCache(list)) {
        collectOrphans(list);
    } else {
        // No index at all leaves every cached directory unnamed; any other
        // failure says nothing about them.
        if (errno == ENOENT) {
            collectOrphans(list);
        }
        QV_LOG(LogMessage::WARNING, "Can't read cache");
    }
    collectWorkingArea(false);

    // 64-bit sums: neither many records nor a large required can wrap.
    UInt64 used = 0;
    for (const CacheEntry& entry : list) {
        used += entry.size;
    }
    UInt64 total = used + required;

    if (total > mStorageSize) {
        std::sort(list.begin(), list.end(), CompareCacheEntryByTime());
        do {
            const CacheEntry& oldest = list.get(0);
            CQVString dir = mConvertedDir + md5ToString(oldest.md5);
            // One that is gone already (a crash, a hand) is as good as removed.
            if (QVFileOperations::recursiveRemove(dir.c_str()) || errno == ENOENT) {
                used -= oldest.size;
                total = used + required;
                QV_LOG(LogMessage::MESSAGE, "%s removed", dir.c_str());
            } else {
                // Dropped from the index all the same; the next pass takes
                // it as an orphan.
                QV_LOG(LogMessage::ERROR, "Can't remove %s: %s", dir.c_str(), strerror(errno));
            }
            list.erase(0);
        } while (!list.isEmpty() && total > mStorageSize);

        if (!writeCache(list)) {
            QV_LOG(LogMessage::ERROR, "Can't write cache");
        }
    }
    bool result = total <= mStorageSize;
    unlockCache();
    return result;
}

void CStorageManager::collectOrphans(const TQVVector<CacheEntry>& list) const {
    // Conversions move in and get their record under the lock, which this
    // pass holds: a directory without a record was left by a process that
    // died in between.
    std::set<std::string> named;
    for (const CacheEntry& entry : list) {
        named.insert(md5ToString(entry.md5).c_str());
    }
    for (CQVDirectoryIterator it(mConvertedDir), end; it != end; ++it) {
        CQVString path = mConvertedDir + *it;
        CQVFileStatus status;
        if (named.count(it->c_str()) != 0 || !QVFileOperations::getFileStatus(path.c_str(), status) ||
            !status.isDirectory()) {
            continue;
        }
        if (QVFileOperations::recursiveRemove(path.c_str())) {
            QV_LOG(LogMessage::MESSAGE, "%s removed: no record names it", path.c_str());
        } else {
            QV_LOG(LogMessage::ERROR, "Can't remove %s: %s", path.c_str(), strerror(errno));
        }
    }
}

void CStorageManager::collectWorkingArea(bool strays) const {
    // A received document is claimed by its process while it lives, and its
    // output directory is made only while the document exists.
    std::set<std::string> names;
    for (CQVDirectoryIterator it(mFilesDir), end; it != end; ++it) {
        names.insert(it->c_str());
    }
    for (const std::string& name : names) {
        const std::string path = std::string(mFilesDir.c_str()) + name;
        CQVFileStatus status;
        if (!QVFileOperations::getFileStatus(path.c_str(), status)) {
            continue;
        }
        const bool output = status.isDirectory() && endsWith(name, kOutputSuffix);
        bool abandoned = false;
        if (status.isRegularFile()) {
            abandoned = NWorkingFile::removeUnclaimed(path.c_str());
            if (abandoned) {
                QVFileOperations::recursiveRemove((path + kOutputSuffix).c_str());
            }
        } else if (output && names.count(name.substr(0, name.size() - (sizeof(kOutputSuffix) - 1))) == 0) {
            abandoned = QVFileOperations::recursiveRemove(path.c_str());
        } else if (strays && !output) {
            abandoned = QVFileOperations::recursiveRemove(path.c_str());
        }
        if (abandoned) {
            QV_LOG(LogMessage::MESSAGE, "%s removed: its process is gone", path.c_str());
        }
    }
}
