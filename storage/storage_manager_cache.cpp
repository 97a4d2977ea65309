// The cache index: cache.db and its checksum file cache_checksum, in the
// cache directory C (data directory + "converted/"; the files are named
// C + "/cache.db" and C + "/cache_checksum", hence a doubled "/").
//
// cache.db: the records one after another, 64 bytes each (layout in
// cache_entry.h), nothing else: no header, no count, no version. A trailing
// partial record is neither listed nor digested and goes at the next commit.
// cache_checksum: exactly 32 lowercase hex digits, the MD5 digest of all
// complete records of cache.db in file order, each byte as two digits, most
// significant first, no line end. Only its first 32 bytes are read.
//
// Commit of a new pair (writeCache), under the storage lock:
//   1. cache.db.new        <- the records, synced
//   2. cache_checksum.new  <- their checksum, synced
//   3. rename cache.db.new       -> cache.db
//   4. rename cache_checksum.new -> cache_checksum
//   5. sync the cache directory
// The new pair is in force once step 5 is done. Until step 3 the old pair
// is.
//
// Reading (readCache): the digest of cache.db must equal cache_checksum.
// When it does not, a commit was cut off (a kill between steps 3 and 4, or a
// power loss that kept only one of the two renames): the reader takes the
// newest consistent pair among (cache.db, cache_checksum.new),
// (cache.db.new, cache_checksum.new) and (cache.db.new, cache_checksum),
// renames its ".new" members into place, syncs the directory and reads on.
// Only when no consistent pair exists is the whole cache cleared. Readers of
// earlier plug-in versions, which share these files, clear on any mismatch.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "log/logger.h"
#include "platform/qv_file_operations.h"
#include "storage/drw_file.h"
#include "storage/storage_manager.h"

namespace {

const size_t kChecksumLength = 32;

// Whether the first 32 bytes of the file at path are hex.
bool checksumFileHolds(const CQVString& path, const CQVString& hex) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    char stored[kChecksumLength + 1] = {0};
    bool read = std::fread(stored, kChecksumLength, 1, file) == 1;
    std::fclose(file);
    return read && hex == stored;
}

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

bool CStorageManager::readIndexFile(const CQVString& path, TQVVector<CacheEntry>& list,
                                    UInt8 (&digest)[16]) const {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    mHash->md5_starts();
    UInt8 record[CacheEntry::RECORD_SIZE];
    while (std::fread(record, sizeof(record), 1, file) == 1) {
        list.push_back(CacheEntry::parse(record));
        mHash->md5_update(record, sizeof(record));
    }
    if (std::fclose(file) != 0) {
        QV_LOG(LogMessage::ERROR, "Can't close cache.db: %s", strerror(errno));
    }
    mHash->md5_finish(digest);
    return true;
}

bool CStorageManager::rollForward() const {
    const CQVString db = mConvertedDir + "/cache.db";
    const CQVString sum = mConvertedDir + "/cache_checksum";
    const CQVString pairs[][2] = {{db, sum + ".new"}, {db + ".new", sum + ".new"}, {db + ".new", sum}};
    for (const CQVString(&pair)[2] : pairs) {
        TQVVector<CacheEntry> records;
        UInt8 digest[16];
        if (!readIndexFile(pair[0], records, digest) || !checksumFileHolds(pair[1], md5ToString(digest))) {
            continue;
        }
        if ((pair[0] != db && !QVFileOperations::rename(pair[0].c_str(), db.c_str())) ||
            (pair[1] != sum && !QVFileOperations::rename(pair[1].c_str(), sum.c_str()))) {
            QV_LOG(LogMessage::ERROR, "Can't finish the interrupted commit of cache.db: %s", strerror(errno));
            return false;
        }
        QVFileOperations::syncDirectory(mConvertedDir.c_str());
        QV_LOG(LogMessage::WARNING, "Warning: finished an interrupted commit of cache.db");
        return true;
    }
    return false;
}

bool CStorageManager::readCache(TQVVector<CacheEntry>& list) const {
    QV_LOG_ENTRY();
    if (!lockCache()) {
        errno = EBUSY;
        return false;
    }
    const CQVString path = mConvertedDir + "/cache.db";
    TQVVector<CacheEntry> records;
    UInt8 digest[16];
    if (!readIndexFile(path, records, digest)) {
        const int error = errno;
        if (!rollForward() || !readIndexFile(path, records, digest)) {
            QV_LOG(LogMessage::WARNING, "Can't open cache.db: %s", strerror(error));
            unlockCache();
            errno = error;
            return false;
        }
    }
    QV_LOG(LogMessage::MESSAGE, "cache.db MD5:%s", md5ToString(digest).c_str());
    bool valid = isCacheValid(digest);
    if (!valid && rollForward()) {
        records.clear();
        valid = readIndexFile(path, records, digest) && isCacheValid(digest);
    }
    if (!valid) {
        clearCache();
        records.clear();
        list.clear();
    }
    for (const CacheEntry& entry : records) {
        if (CacheEntry::isValidEntryPoint(entry.entryPoint)) {
            list.push_back(entry);
        } else {
            QV_LOG(LogMessage::WARNING, "Warning: record %s has a bad entry page name; dropped",
                   md5ToString(entry.md5).c_str());
        }
    }
    unlockCache();
    return true;
}

bool CStorageManager::isCacheValid(UInt8 (&digest)[16]) const {
    QV_LOG_ENTRY();
    if (!lockCache()) {
        return false;
    }
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
    if (!lockCache()) {
        return false;
    }
    const CQVString path = mConvertedDir + "/cache.db";
    const CQVString sumPath = mConvertedDir + "/cache_checksum";
    CDRWFile index(path.c_str(), (path + ".new").c_str());
    CDRWFile checksum(sumPath.c_str(), (sumPath + ".new").c_str());
    bool result = false;
    FILE* stream = index.open();
    if (stream == nullptr) {
        QV_LOG(LogMessage::ERROR, "Can't open cache.db: %s", strerror(errno));
    } else {
        mHash->md5_starts();
        UInt8 record[CacheEntry::RECORD_SIZE];
        for (int i = 0; i < list.size(); ++i) {
            list.get(i).serialize(record);
            if (std::fwrite(record, sizeof(record), 1, stream) != 1) {
                QV_LOG(LogMessage::ERROR, "record %d wasn't written", i);
            }
            mHash->md5_update(record, sizeof(record));
        }
        UInt8 digest[16] = {0};
        mHash->md5_finish(digest);
        const CQVString hex = md5ToString(digest);
        FILE* sumStream = nullptr;
        if (!index.prepare()) {
            QV_LOG(LogMessage::ERROR, "Can't close cache.db: %s", strerror(errno));
        } else if ((sumStream = checksum.open()) == nullptr) {
            QV_LOG(LogMessage::ERROR, "Can't open cache_checksum: %s", strerror(errno));
        } else if (std::fwrite(hex.c_str(), hex.length(), 1, sumStream) != 1 || !checksum.prepare()) {
            QV_LOG(LogMessage::ERROR, "Can't close /cache_checksum file: %s", strerror(errno));
        } else if (!index.commit() || !checksum.commit()) {
            // Between the renames the next reader finishes the commit.
            QV_LOG(LogMessage::ERROR, "Can't commit cache.db: %s", strerror(errno));
        } else {
            if (!QVFileOperations::syncDirectory(mConvertedDir.c_str())) {
                QV_LOG(LogMessage::WARNING, "Warning: can't sync %s: %s", mConvertedDir.c_str(), strerror(errno));
            }
            QV_LOG(LogMessage::MESSAGE, "cache.db MD5:%s", hex.c_str());
            result = true;
        }
    }
    unlockCache();
    return result;
}
