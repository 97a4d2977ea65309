// CQVShMem: a named POSIX shared-memory object mapped into this process.
//
// Object names: the name given (a leading '/' is optional) becomes
// "/" + $QV_SHM_PREFIX + name. QV_SHM_PREFIX is read when the CQVShMem is
// constructed (and by remove()); unset or empty means no prefix, so
// "officeplugin_storage_mutex" is the object "/officeplugin_storage_mutex".
// Tests and tools set a unique prefix (for example one holding their pid) to
// keep their objects apart from the real one and from each other. The prefix
// must not contain '/'.
//
// Nothing in this class removes the named object: it outlives every process
// until remove() is called (tests, tools) or the system restarts.
//
// Size: the object is at least size bytes, rounded up to a whole number of
// pages, so every byte of the mapping is backed (the block of a mutex may be
// given the device's 8 bytes on a host where the mutex is larger). create()
// never shrinks an existing object.
//
// Creator/opener race: both sides size the object after opening it, so an
// opener that arrives before the creator has sized it never maps a too-short
// object (no SIGBUS). The creator must still initialise the content before
// others use it; that protocol is the caller's.
//
// One CQVShMem is used by one thread at a time. The mapping is released by
// unmap() or the destructor; the descriptor by the destructor.
#pragma once

#include <cstddef>

#include "platform/qv_string.h"

class CQVShMem {
public:
    enum CreateResult { CREATED = 0, EXISTED = 1, FAILED = 2 };
    enum MapMode { MAP_READ = 1, MAP_READ_WRITE = 2 };

    CQVShMem(const char* name, std::size_t size);
    ~CQVShMem();

    CQVShMem(const CQVShMem&) = delete;
    CQVShMem& operator=(const CQVShMem&) = delete;

    // Opens the object, creating it when it does not exist (exclusive = true:
    // an existing object is a failure with EEXIST). Returns 0 (CREATED) when
    // this call created it, 1 (EXISTED) when it existed, 2 (FAILED) with
    // errno set. Calling it again after success re-opens the object.
    int create(bool exclusive);

    // Maps the object: mode 2 (MAP_READ_WRITE) or 1 (MAP_READ). Requires a
    // successful create(); fails with EINVAL otherwise, or when already
    // mapped. On success address() is the start of the block.
    bool map(int mode);

    // Releases the mapping; false with errno (EINVAL when not mapped).
    bool unmap();

    // Start of the mapped block, or null when not mapped.
    void* address() const { return mAddress; }
    std::size_t size() const { return mSize; }
    // The object's full name, prefix included.
    const CQVString& name() const { return mName; }

    // Removes the named object (same prefix rule). For tests and tools only;
    // processes that have it mapped keep their mapping.
    static bool remove(const char* name);

    // The full object name for name under the current QV_SHM_PREFIX.
    static CQVString objectName(const char* name);

private:
    CQVString mName;
    std::size_t mSize;
    std::size_t mMappedSize;
    int mFd;
    void* mAddress;
};
