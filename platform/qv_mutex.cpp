#include "platform/qv_mutex.h"

#include <time.h>

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

namespace {

// Turns a pthread lock result into a LockResult; makes a mutex whose owner
// died consistent again.
CQVMutex::LockResult settle(pthread_mutex_t* mutex, int rc) {
    if (rc == 0) {
        return CQVMutex::LOCKED;
    }
    if (rc == ETIMEDOUT) {
        return CQVMutex::LOCK_TIMED_OUT;
    }
    if (rc == EOWNERDEAD) {
        // Without this the mutex becomes unusable for good at our unlock.
        if (pthread_mutex_consistent(mutex) != 0) {
            pthread_mutex_unlock(mutex);
            return CQVMutex::LOCK_FAILED;
        }
        return CQVMutex::LOCKED_OWNER_DIED;
    }
    return CQVMutex::LOCK_FAILED;
}

}  // namespace

CQVMutex::LockResult CQVMutex::timedLockEx(UInt32 timeoutMs) {
    if (!mValid) {
        return LOCK_FAILED;
    }
    timespec deadline;
    if (clock_gettime(CLOCK_REALTIME, &deadline) != 0) {
        return LOCK_FAILED;
    }
    deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000);
    deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return settle(&mMutex, pthread_mutex_timedlock(&mMutex, &deadline));
}

CQVMutex::LockResult CQVMutex::lockEx() {
    if (!mValid) {
        return LOCK_FAILED;
    }
    return settle(&mMutex, pthread_mutex_lock(&mMutex));
}

bool CQVMutex::unlock() { return mValid && pthread_mutex_unlock(&mMutex) == 0; }
