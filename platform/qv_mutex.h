// CQVMutex: a POSIX mutex that may live in memory shared between processes.
//
// Every mutex of the system is built as CQVMutex(true, 0): recursive (the
// owning thread may lock again; it is free once every lock is matched by an
// unlock), process-shared (it excludes the threads of every process that maps
// the memory it sits in) and robust (when its owner dies while holding it, the
// next locker gets it, is told so, and the mutex stays usable).
//
// The pthread mutex is the first member, so the object's address is also the
// address of the POSIX mutex.
#pragma once

#include <pthread.h>

class CQVMutex {
public:
    // recursive: true for a recursive mutex. recursionMode is kept for the
    // framework's signature; 0 is the only mode the system uses.
    explicit CQVMutex(bool recursive = true, int recursionMode = 0);
    ~CQVMutex();

    CQVMutex(const CQVMutex&) = delete;
    CQVMutex& operator=(const CQVMutex&) = delete;

    enum LockResult { LOCKED = 0, LOCKED_OWNER_DIED = 1, LOCK_FAILED = 2 };

    // Blocks until the calling thread holds the mutex. LOCKED_OWNER_DIED: the
    // previous owner died holding it; the protected state may be half-written,
    // and the mutex has been made consistent again.
    LockResult lockEx();
    bool lock() { return lockEx() != LOCK_FAILED; }
    bool tryLock();
    bool unlock();

    bool isValid() const { return mValid; }
    pthread_mutex_t* native() { return &mMutex; }

private:
    pthread_mutex_t mMutex;
    bool mValid;
};
