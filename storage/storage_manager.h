// CStorageManager: the plug-in's storage directory and conversion cache.
//
// Layout under the data directory D (OFFICE_PLUGINS_DATA, ends in "/"):
//   D + "files/"                      working area: received documents, each
//                                     claimed by its process (working_file.h),
//                                     and the converter's output next to
//                                     each; emptied by the first instance
//                                     after boot, cleared of what dead
//                                     processes left by the eviction pass
//   D + "converted/"                  the cache, removed and recreated whole
//                                     by clearCache()
//   D + "converted/version"           "$Change: 273562 $", no line end
//   D + "converted//cache.db"         the index: 64-byte records, see
//                                     cache_entry.h
//   D + "converted//cache_checksum"   32 lowercase hex digits, MD5 of cache.db
//   D + "converted/" + <32 hex>       one cached conversion
// The index pair is committed as one step, see storage_manager_cache.cpp;
// other files are rewritten through CDRWFile (path + ".new", sync, rename).
// A conversion is synced to the disk before the record naming it is
// committed, so a power loss never leaves a record with a damaged page.
//
// Locking: every instance of every process shares one recursive,
// process-shared, robust mutex in the shared-memory object
// "officeplugin_storage_mutex" (name prefixed by $QV_SHM_PREFIX, see
// platform/qv_shmem.h). Every operation that touches the cache directory
// holds it for its whole run and may be called with it already held. Waits
// for it are bounded: by sLockWaitMs unless the caller takes it first with
// a longer wait; an operation that cannot get it fails without touching
// anything. When a process dies holding it, the next locker logs a warning
// and carries on; a half-finished index commit is finished by the next
// reader.
//
// Threads: one manager is used by its instance's plug-in thread and its
// conversion worker, never by both at once; the cache operations serialise
// on the mutex, which also guards mHash. init() and cleanup() are called by
// the owner while no other thread uses the manager. The browser's plug-in
// thread calls only init, cleanup and newDocument, which wait for the mutex
// at most sLockWaitMs. getDirectorySize and md5ToString need no lock.
#pragma once

#include <atomic>

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
    static constexpr UInt32 sMutexReadyTimeoutMs = 200;
    // How long a lock of the storage waits unless its caller says otherwise:
    // the bound for the browser's plug-in thread.
    static constexpr UInt32 sLockWaitMs = 200;

    CStorageManager();
    virtual ~CStorageManager();

    CStorageManager(const CStorageManager&) = delete;
    CStorageManager& operator=(const CStorageManager&) = delete;

    // --- Storage layout and lock (storage_manager.cpp) ---

    // Maps the shared mutex, empties the working area if this process
    // created the shared object (first start after boot), creates both
    // directories and checks the cache version. When the lock is not free
    // within sLockWaitMs, the working area stays as it is and the version is
    // checked by the first operation that gets the lock. True when the
    // storage is usable. May be called again after cleanup() or a failed
    // init().
    bool init();
    // Unmaps the shared block; the mutex and the object stay for others.
    void cleanup();

    // Takes the cross-process mutex (recursive), waiting at most waitMs;
    // with cancelled, gives up as soon as *cancelled turns true. True when
    // held, to be matched by unlockCache(). False, logged with the time
    // waited, when it was not free in time or there is no mutex (init not
    // done: "mCacheMutex == 0"); the caller must then leave the cache alone.
    bool lockCache(UInt32 waitMs = sLockWaitMs, const std::atomic<bool>* cancelled = nullptr) const;
    void unlockCache() const;
    // Runs the version check that init() could not run for want of the lock.
    // REQUIRES: lock held.
    void checkVersionOnce() const;

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
    // Syncs every regular file and directory under dir, dir included, to the
    // disk. False (errno of the first failure) when one could not be. No lock.
    static bool syncTree(const CQVString& dir);

    // --- Cache index (storage_manager_cache.cpp) ---

    // Appends the records of cache.db to list, leaving out (with a warning)
    // those whose entry page name is not acceptable. False when cache.db
    // cannot be opened (errno tells why) or the lock not taken. When the
    // pair does not verify and no interrupted commit can be finished, the
    // cache is cleared, list is emptied and the result is true.
    bool readCache(TQVVector<CacheEntry>& list) const;
    // Commits list and its checksum as one step (storage_manager_cache.cpp).
    // False when the new files cannot be written or the commit fails; the
    // old pair then stays in force.
    bool writeCache(const TQVVector<CacheEntry>& list) const;
    // True when cache_checksum holds md5ToString(digest) in its first 32 bytes.
    bool isCacheValid(UInt8 (&digest)[16]) const;
    // 32 lowercase hex digits; empty if formatting fails.
    static CQVString md5ToString(const UInt8 (&digest)[16]);

    // --- Eviction (storage_manager_squeeze.cpp) ---

    // The eviction pass: removes cached directories that no record names and
    // the working area's files whose process is gone, then evicts cached
    // conversions, least recently used first, until the recorded sizes plus
    // required fit in the budget. A directory already gone counts as
    // removed. True when they fit.
    bool squeezeCache(UInt32 required) const;

    // --- Documents (storage_manager_documents.cpp) ---

    // The file path for a new document, data directory + "/files/" +
    // generateFilename(extension); empty when requiredSpace(size) can never
    // fit the budget. Takes no lock and makes no room: the conversion worker
    // does that (squeezeCache(requiredSpace(size))) before it converts. No
    // file is created here; the caller makes the document (CDocument).
    CQVString newDocument(const char* extension, UInt32 size) const;
    // Room a document of size announced bytes needs in the cache: three
    // times its size, computed without wrapping.
    static UInt32 requiredSpace(UInt32 size);
    // "<ns since the epoch>_<random>.<extension>".
    static CQVString generateFilename(const char* extension);
    // rand(), seeded once per process with the process id.
    static int getRandomNumber();
    // The converter's output directory for the document file filePath:
    // filePath + "_files/", created with its parents. No lock.
    CQVString getDestinationDirectory(const CQVString& filePath) const;
    // On a hit: true and path = converted dir + 32 hex digits + "/" + entry
    // page. Reads only: nothing is synced on the way to a hit. A record
    // whose entry page is missing or empty is dropped with what is left of
    // its directory.
    bool findDocumentInCache(const UInt8 (&md5)[16], CQVString& path) const;
    // Refreshes the last use of md5's record and commits the index; false
    // when there is no such record or the index cannot be written.
    bool touchDocument(const UInt8 (&md5)[16]) const;
    // True when the cached entry page of md5 opens and is not empty.
    // REQUIRES: lock held.
    bool checkDocumentExistence(const UInt8 (&md5)[16], const CQVString& entryPoint) const;
    // Syncs convertedDir (ends with "/") to the disk, moves it into the
    // cache as md5's conversion and records it, as one step under the lock;
    // returns the entry page to open. If md5 was cached meanwhile,
    // convertedDir is removed and the cached page returned; if the move
    // fails or the lock is not taken, the page in convertedDir.
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
    // Reads the records of the index file path and digests them; false
    // when it cannot be opened.
    bool readIndexFile(const CQVString& path, TQVVector<CacheEntry>& list, UInt8 (&digest)[16]) const;
    // Finishes a commit of the index pair that a kill or a power loss
    // interrupted; true when a consistent pair now stands. REQUIRES: lock.
    bool rollForward() const;
    // The parts of the eviction pass that clean up after dead processes;
    // strays: also what the plug-in never makes in the working area.
    // REQUIRES: lock held.
    void collectOrphans(const TQVVector<CacheEntry>& list) const;
    void collectWorkingArea(bool strays) const;

    bool mInitialized;
    // Whether the cache version was checked since init.
    mutable bool mVersionChecked;
    CQVString mFilesDir;
    CQVString mConvertedDir;
    UInt32 mStorageSize;
    CQVShMem mShMem;
    CQVMutex* mCacheMutex;
    CHashMD5* mHash;
};
