// CStorageManager: the plug-in's storage directory and conversion cache.
//
// Layout under the data directory D (OFFICE_PLUGINS_DATA, ends in "/"):
//   D + "files/"                      working area (received documents and
//                                     converter output); emptied by the first
//                                     instance after boot
//   D + "converted/"                  the cache, removed and recreated whole
//                                     by clearCache()
//   D + "converted/version"           "$Change: 273562 $", no line end
//   D + "converted//cache.db"         the index: 64-byte records, see
//                                     cache_entry.h
//   D + "converted//cache_checksum"   32 lowercase hex digits, MD5 of cache.db
//   D + "converted/" + <32 hex>       one cached conversion
// Every file is rewritten through CDRWFile (path + ".new", sync, rename).
//
// Locking: every instance of every process shares one recursive,
// process-shared, robust mutex in the shared-memory object
// "officeplugin_storage_mutex" (name prefixed by $QV_SHM_PREFIX, see
// platform/qv_shmem.h). Every operation that touches the cache directory
// holds it for its whole run and may be called with it already held.
// When a process dies holding it, the next locker logs a warning and carries
// on; a half-finished index change is then caught by the checksum.
//
// Threads: one manager is used by its instance's plug-in thread and its
// conversion worker; the cache operations serialise on the mutex, which also
// guards mHash. init() and cleanup() are called by the owner while no other
// thread uses the manager. getDirectorySize and md5ToString need no lock.
#pragma once

#include "platform/qv_mutex.h"
#include "platform/qv_shmem.h"
#include "platform/qv_string.h"
#include "platform/qv_types.h"
#include "platform/qv_vector.h"
#include "storage/cache_entry.h"
#include "storage/hash_md5.h"

class CStorageManager {
public:
    typedef CCacheEntry CacheEntry;

    // Orders cache records by last use, oldest first.
    struct CompareCacheEntryByTime {
        bool operator()(const CacheEntry& a, const CacheEntry& b) const { return a.time < b.time; }
    };

    static const char* const sVersion;        // "$Change: 273562 $"
    static const char* const sShMemName;      // "officeplugin_storage_mutex"
    static constexpr UInt32 sStorageSize = 104857600;  // cache budget, 100 MiB
    // How long init() waits for another process to finish constructing the
    // shared mutex.
    static constexpr UInt32 sMutexReadyTimeoutMs = 5000;

    CStorageManager();
    virtual ~CStorageManager();

    CStorageManager(const CStorageManager&) = delete;
    CStorageManager& operator=(const CStorageManager&) = delete;

    // --- Storage layout and lock (storage_manager.cpp) ---

    // Maps the shared mutex, empties the working area if this process
    // created the shared object (first start after boot), creates both
    // directories and checks the cache version. True when the storage is
    // usable. May be called again after cleanup() or a failed init().
    bool init();
    // Unmaps the shared block; the mutex and the object stay for others.
    void cleanup();

    // Take and release the cross-process mutex (recursive). Without a mutex
    // (init not done) they log "mCacheMutex == 0" and do nothing.
    void lockCache() const;
    void unlockCache() const;

    // Clears the cache unless its version file holds exactly sVersion, and
    // makes sure the version file holds it afterwards.
    void removeOutdatedCache() const;
    // Removes the cache directory with everything in it, recreates it and
    // writes the version file into it. True when it was removed and
    // recreated.
    bool clearCache() const;
    // Bytes of all regular files under dir at any depth; symbolic links and
    // other entries count nothing. No lock.
    static UInt64 getDirectorySize(const CQVString& dir);

    // --- Cache index (storage_manager_cache.cpp) ---

    // Appends the records of cache.db to list. False when cache.db cannot be
    // opened. When the checksum does not verify, the cache is cleared, list
    // is emptied and the result is true.
    bool readCache(TQVVector<CacheEntry>& list) const;
    // Commits list as cache.db, then its checksum. False when cache.db.new
    // cannot be created or the checksum cannot be saved.
    bool writeCache(const TQVVector<CacheEntry>& list) const;
    // True when cache_checksum holds md5ToString(digest) in its first 32 bytes.
    bool isCacheValid(UInt8 (&digest)[16]) const;
    // Commits md5ToString(digest) as cache_checksum. False only when
    // cache_checksum.new cannot be created.
    bool saveCacheChecksum(UInt8 (&digest)[16]) const;
    // 32 lowercase hex digits; empty if formatting fails.
    static CQVString md5ToString(const UInt8 (&digest)[16]);

    // --- Eviction (storage_manager_squeeze.cpp) ---

    // Evicts cached conversions, least recently used first, until the
    // recorded sizes plus required fit in the budget. True when they fit.
    bool squeezeCache(UInt32 required) const;

    // --- Documents (storage_manager_documents.cpp) ---

    // The file path for a new document, data directory + "/files/" +
    // generateFilename(extension), once room for three times size (computed
    // without wrapping) has been made in the cache; empty when it cannot be.
    // No file is created here; the caller makes the document (CDocument).
    CQVString newDocument(const char* extension, UInt32 size) const;
    // "<ns since the epoch>_<random>.<extension>".
    static CQVString generateFilename(const char* extension);
    // rand(), seeded once per process with the process id.
    static int getRandomNumber();
    // The converter's output directory for the document file filePath:
    // filePath + "_files/", created with its parents. No lock.
    CQVString getDestinationDirectory(const CQVString& filePath) const;
    // On a hit: true, path = converted dir + 32 hex digits + "/" + entry
    // page, and the record's time refreshed. A record whose entry page
    // cannot be opened is dropped with what is left of its directory.
    bool findDocumentInCache(const UInt8 (&md5)[16], CQVString& path) const;
    // True when the cached entry page of md5 opens. REQUIRES: lock held.
    bool checkDocumentExistence(const UInt8 (&md5)[16], const CQVString& entryPoint) const;
    // Moves convertedDir (ends with "/") into the cache as md5's conversion
    // and records it, as one step under the lock; returns the entry page to
    // open. If md5 was cached meanwhile, convertedDir is removed and the
    // cached page returned; if the move fails, the page in convertedDir.
    CQVString addDocumentToCache(const UInt8 (&md5)[16], const CQVString& convertedDir,
                                 const CQVString& entryPoint) const;

    // Paths, for the document operations and tests; empty until init().
    const CQVString& getFilesDir() const { return mFilesDir; }
    const CQVString& getConvertedDir() const { return mConvertedDir; }

private:
    // Commits sVersion as the version file; logs failures.
    void writeVersionFile() const;
    // After a process died holding the mutex: puts back what an interrupted
    // clearCache() may have left missing.
    void recoverAfterOwnerDeath() const;

    bool mInitialized;
    CQVString mFilesDir;
    CQVString mConvertedDir;
    UInt32 mStorageSize;
    CQVShMem mShMem;
    CQVMutex* mCacheMutex;
    CHashMD5* mHash;
};
