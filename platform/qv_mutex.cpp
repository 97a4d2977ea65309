#include "platform/qv_mutex.h"

#include <cerrno>

CQVMutex::CQVMutex(bool recursive, int /*recursionMode*/) : mValid(false) {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) {
        return;
    }
    // Every attribute matters (a non-robust mutex would hang all processes
    // after a crash), so any refusal leaves the mutex invalid.
    bool ok =
        pthread_mutexattr_settype(&attr, recursive ? PTHREAD_MUTEX_RECURSIVE
                                                   : PTHREAD_MUTEX_NORMAL) == 0 &&
        pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
        pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0;
    mValid = ok && pthread_mutex_init(&mMutex, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
}

CQVMutex::~CQVMutex() {
    if (mValid) {
        pthread_mutex_destroy(&mMutex);
    }
}

CQVMutex::LockResult CQVMutex::lockEx() {
    if (!mValid) {
        return LOCK_FAILED;
    }
    int rc = pthread_mutex_lock(&mMutex);
    if (rc == 0) {
        return LOCKED;
    }
    if (rc == EOWNERDEAD) {
        // Without this the mutex becomes unusable for good at our unlock.
        if (pthread_mutex_consistent(&mMutex) != 0) {
            pthread_mutex_unlock(&mMutex);
            return LOCK_FAILED;
        }
        return LOCKED_OWNER_DIED;
    }
    return LOCK_FAILED;
}

bool CQVMutex::unlock() { return mValid && pthread_mutex_unlock(&mMutex) == 0; }
