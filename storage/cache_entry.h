// CCacheEntry: one record of the cache index cache.db (known to the storage
// manager's users as CStorageManager::CacheEntry).
//
// On disk a record is exactly 64 bytes, no padding, integers little-endian,
// the same on the 32-bit device and on 64-bit hosts:
//
//   offset  size  field       content
//        0    16  md5         MD5 digest of the received document (cache key)
//       16     8  time        last use, ns since the epoch (CLOCK_REALTIME),
//                             little-endian unsigned 64-bit
//       24     4  size        bytes of the cached conversion directory,
//                             little-endian unsigned 32-bit
//       28    36  entryPoint  file name of the entry page inside the cached
//                             directory, NUL-terminated within the field;
//                             bytes after the NUL are written as zeros and
//                             ignored when read. A name is accepted only when
//                             it is not empty and holds neither "/" nor "..":
//                             it must name a file inside the directory
//
// cache.db is these records one after another, nothing else. The in-memory
// struct is never written or read as raw memory: serialize()/parse() convert
// byte by byte, so the file does not depend on the compiler's layout.
//
// A plain value; no locking.
#pragma once

#include "platform/qv_types.h"

struct CCacheEntry {
    enum { RECORD_SIZE = 64, ENTRY_POINT_SIZE = 36 };

    UInt8 md5[16];
    UInt64 time;
    UInt32 size;
    // Always NUL-terminated in memory.
    char entryPoint[ENTRY_POINT_SIZE];

    // All zero: empty digest, time 0, size 0, empty entry point.
    CCacheEntry();

    // Copies name with its NUL. False (and the entry point left empty) when
    // name is not acceptable (isValidEntryPoint).
    bool setEntryPoint(const char* name);
    // True for a name that fits the field (at most ENTRY_POINT_SIZE - 1
    // characters), is not empty and holds neither "/" nor "..".
    static bool isValidEntryPoint(const char* name);

    void serialize(UInt8 (&record)[RECORD_SIZE]) const;
    // A record without a NUL in its entryPoint field yields an empty entry
    // point, which is not acceptable.
    static CCacheEntry parse(const UInt8 (&record)[RECORD_SIZE]);
};
