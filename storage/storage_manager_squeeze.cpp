// Eviction of cached conversions under the size budget, least recently used
// first.

#include <cerrno>
#include <cstring>
#include <utility>

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
    for (int i = 0; i < list.size(); ++i) {
        used += list.get(i).size;
    }
    UInt64 total = used + required;

    if (total > mStorageSize) {
        quicksort(list, CompareCacheEntryByTime());
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

void CStorageManager::quicksort(TQVVector<CacheEntry>& list, CompareCacheEntryByTime comparator) {
    if (list.size() < 2) {
        return;
    }
    quicksort(list, 0, list.size() - 1, comparator);
}

void CStorageManager::quicksort(TQVVector<CacheEntry>& list, int left, int right,
                                CompareCacheEntryByTime comparator) {
    // Hoare partition around the middle record; recursion only into the
    // smaller part keeps the stack depth logarithmic.
    while (left < right) {
        const CacheEntry pivot = list.get(left + (right - left) / 2);
        int i = left;
        int j = right;
        while (i <= j) {
            while (comparator(list.get(i), pivot)) {
                ++i;
            }
            while (comparator(pivot, list.get(j))) {
                --j;
            }
            if (i <= j) {
                if (i != j) {
                    std::swap(list.get(i), list.get(j));
                }
                ++i;
                --j;
            }
        }
        if (j - left < right - i) {
            quicksort(list, left, j, comparator);
            left = i;
        } else {
            quicksort(list, i, right, comparator);
            right = j;
        }
    }
}
