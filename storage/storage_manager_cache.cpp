// The cache index cache.db and its checksum file cache_checksum.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "log/logger.h"
#include "storage/drw_file.h"
#include "storage/storage_manager.h"

namespace {

const size_t kChecksumLength = 32;

}  // namespace

CQVString CStorageManager::md5ToString(const UInt8 (&digest)[16]) {
    CQVString result(kChecksumLength);
    CQVString hex;
    for (UInt8 byte : digest) {
        if (!hex.format("%02x", static_cast<unsigned>(byte))) {
            return CQVString();
        }
        result.append(hex);
    }
    return result;
}

bool CStorageManager::readCache(TQVVector<CacheEntry>& list) const {
    QV_LOG_ENTRY();
    lockCache();
    mHash->md5_starts();
    CQVString path = mConvertedDir + "/cache.db";
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        QV_LOG(LogMessage::WARNING, "Can't open cache.db: %s", strerror(errno));
        unlockCache();
        return false;
    }
    // A trailing partial record is neither listed nor digested.
    UInt8 record[CacheEntry::RECORD_SIZE];
    while (std::fread(record, sizeof(record), 1, file) == 1) {
        list.push_back(CacheEntry::parse(record));
        mHash->md5_update(record, sizeof(record));
    }
    if (std::fclose(file) != 0) {
        QV_LOG(LogMessage::ERROR, "Can't close cache.db: %s", strerror(errno));
        unlockCache();
        return true;
    }
    UInt8 digest[16];
    mHash->md5_finish(digest);
    QV_LOG(LogMessage::MESSAGE, "cache.db MD5:%s", md5ToString(digest).c_str());
    if (!isCacheValid(digest)) {
        clearCache();
        list.clear();
    }
    unlockCache();
    return true;
}

bool CStorageManager::isCacheValid(UInt8 (&digest)[16]) const {
    QV_LOG_ENTRY();
    lockCache();
    CQVString path = mConvertedDir + "/cache_checksum";
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        QV_LOG(LogMessage::ERROR, "Can't open /cache_checksum: %s", strerror(errno));
        unlockCache();
        return false;
    }
    CQVString expected = md5ToString(digest);
    char stored[kChecksumLength + 1] = {0};
    bool result = false;
    if (std::fread(stored, kChecksumLength, 1, file) != 1) {
        QV_LOG(LogMessage::ERROR, "Can't read from /cache_checksum file");
    } else {
        QV_LOG(LogMessage::MESSAGE, "Checksum from the file:%s", stored);
        QV_LOG(LogMessage::MESSAGE, "Checksum expected:%s", expected.c_str());
        if (expected != stored) {
            QV_LOG(LogMessage::ERROR, "Checksum of the cache.db is invalid");
        } else {
            QV_LOG(LogMessage::MESSAGE, "Checksum of the cache.db is valid");
            result = true;
        }
    }
    if (std::fclose(file) != 0) {
        QV_LOG(LogMessage::ERROR, "Can't close /cache_checksum file: %s", strerror(errno));
    }
    unlockCache();
    return result;
}

bool CStorageManager::writeCache(const TQVVector<CacheEntry>& list) const {
    QV_LOG_ENTRY();
    lockCache();
    mHash->md5_starts();
    CQVString path = mConvertedDir + "/cache.db";
    CQVString tmpPath = path + ".new";
    bool result = false;
    {
        CDRWFile file(path.c_str(), tmpPath.c_str());
        FILE* stream = file.open(true);
        if (stream == nullptr) {
            QV_LOG(LogMessage::ERROR, "Can't open cache.db: %s", strerror(errno));
        } else {
            UInt8 record[CacheEntry::RECORD_SIZE];
            for (int i = 0; i < list.size(); ++i) {
                list.get(i).serialize(record);
                if (std::fwrite(record, sizeof(record), 1, stream) != 1) {
                    QV_LOG(LogMessage::ERROR, "record %d wasn't written", i);
                }
                mHash->md5_update(record, sizeof(record));
            }
            if (!file.close()) {
                // The next read finds the old pair, or no cache.db, and copes.
                QV_LOG(LogMessage::ERROR, "Can't close cache.db: %s", strerror(errno));
                result = true;
            } else {
                UInt8 digest[16] = {0};
                mHash->md5_finish(digest);
                if (saveCacheChecksum(digest)) {
                    QV_LOG(LogMessage::MESSAGE, "cache.db MD5:%s", md5ToString(digest).c_str());
                    result = true;
                }
            }
        }
    }
    unlockCache();
    return result;
}

bool CStorageManager::saveCacheChecksum(UInt8 (&digest)[16]) const {
    QV_LOG_ENTRY();
    lockCache();
    CQVString path = mConvertedDir + "/cache_checksum";
    CQVString tmpPath = path + ".new";
    bool result = false;
    {
        CDRWFile file(path.c_str(), tmpPath.c_str());
        FILE* stream = file.open(true);
        if (stream == nullptr) {
            QV_LOG(LogMessage::ERROR, "Can't open cache_checksum: %s", strerror(errno));
        } else {
            CQVString hex = md5ToString(digest);
            QV_LOG(LogMessage::MESSAGE, "MD5 hash to write:%s", hex.c_str());
            std::fwrite(hex.c_str(), hex.length(), 1, stream);
            if (!file.close()) {
                QV_LOG(LogMessage::ERROR, "Can't close /cache_checksum file: %s", strerror(errno));
            }
            result = true;
        }
    }
    unlockCache();
    return result;
}
