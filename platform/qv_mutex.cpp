#include "platform/qv_mutex.h"

#include <cerrno>

CQVMutex::CQVMutex(bool recursive, int /*recursionMode*/) : mValid(false) {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) {
        return;
    }
    pthread_mutexattr_settype(&attr, recursive ? PTHREAD_MUTEX_RECURSIVE : PTHREAD_MUTEX_NORMAL);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    mValid = pthread_mutex_init(&mMutex, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
}

CQVMutex::~CQVMutex() {
    if (mValid) {
        pthread_mutex_destroy(&mMutex);
    }
}

CQVMutex::LockResult CQVMutex::lockEx() {
    int rc = pthread_mutex_lock(&mMutex);
    if (rc == 0) {
        return LOCKED;
    }
    if (rc == EOWNERDEAD) {
        pthread_mutex_consistent(&mMutex);
        return LOCKED_OWNER_DIED;
    }
    return LOCK_FAILED;
}

bool CQVMutex::tryLock() {
    int rc = pthread_mutex_trylock(&mMutex);
    if (rc == EOWNERDEAD) {
        pthread_mutex_consistent(&mMutex);
        return true;
    }
    return rc == 0;
}

bool CQVMutex::unlock() { return pthread_mutex_unlock(&mMutex) == 0; }
