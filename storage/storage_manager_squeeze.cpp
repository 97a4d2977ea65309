// Eviction of cached conversions under the size budget, least recently used
// first.

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "log/logger.h"
#include "platform/qv_file_operations.h"
#include "storage/storage_manager.h"

bool CStorageManager::squeezeCache(UInt32 required) const {
    QV_LOG_ENTRY();
    if (mStorageSize < required) {
        QV_LOG(LogMessage::WARNING, "Required size is more than storage size");
        return false;
    }
    lockCache();
    TQVVector<CacheEntry> list;
    if (!readCache(list)) {
        QV_LOG(LogMessage::WARNING, "Can't read cache");
    }

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
            if (QVFileOperations::recursiveRemove(dir.c_str())) {
                used -= oldest.size;
                total = used + required;
                QV_LOG(LogMessage::MESSAGE, "%s removed", dir.c_str());
            } else {
                // Dropped from the index all the same; its bytes stay on disk
                // until the whole cache is cleared.
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
