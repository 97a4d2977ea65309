// CQVMutex: a POSIX mutex that may live in memory shared between processes:
// the storage lock. Locks within one process are std::mutex (or
// std::recursive_mutex) with std::lock_guard.
//
// Built as CQVMutex(true, 0) it is recursive (the owning thread may lock
// again; it is free once every lock is matched by an unlock), process-shared
// (it excludes the threads of every process that maps the memory it sits in)
// and robust (when its owner dies while holding it, the next locker gets it,
// is told so, and the mutex stays usable).
//
// The pthread mutex is the first member, so the object's address is also the
// address of the POSIX mutex. Code that locks it with pthread_mutex_lock
// directly must handle EOWNERDEAD itself (pthread_mutex_consistent before
// unlocking), or the mutex becomes unusable for every process; lockEx() does
// that.
//
// To share it between processes, construct it with placement new at the
// start of a shared block (CQVShMem) in the process that created the block;
// the others use that object through the block's address and never
// construct or destroy it. Any thread of any such process may lock it.
#pragma once

#include <pthread.h>

#include "platform/qv_types.h"

class CQVMutex {
public:
    // recursive: true for a recursive mutex. recursionMode is kept for the
    // framework's signature; 0 is the only mode the system uses.
    explicit CQVMutex(bool recursive = true, int recursionMode = 0);
    ~CQVMutex();

    CQVMutex(const CQVMutex&) = delete;
    CQVMutex& operator=(const CQVMutex&) = delete;

    enum LockResult { LOCKED = 0, LOCKED_OWNER_DIED = 1, LOCK_FAILED = 2, LOCK_TIMED_OUT = 3 };

    // Blocks until the calling thread holds the mutex. LOCKED_OWNER_DIED: the
    // previous owner died holding it; the protected state may be half-written,
    // and the mutex has been made consistent again.
    LockResult lockEx();
    bool lock() { return lockEx() != LOCK_FAILED; }
    // As lockEx, but gives up with LOCK_TIMED_OUT once timeoutMs have passed
    // (on the real-time clock, as pthread_mutex_timedlock counts).
    LockResult timedLockEx(UInt32 timeoutMs);
    // false when the calling thread does not hold it.
    bool unlock();
    // A mutex whose initialisation failed refuses every lock.

    bool isValid() const { return mValid; }
    pthread_mutex_t* native() { return &mMutex; }

private:
    pthread_mutex_t mMutex;
    bool mValid;
};
