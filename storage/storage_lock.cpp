#include "storage/storage_lock.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace {

const UInt32 kPollMicroseconds = 1000;

bool processIsGone(UInt32 pid) {
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

UInt64 monotonicNs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<UInt64>(ts.tv_sec) * 1000000000u + static_cast<UInt64>(ts.tv_nsec);
}

// Builds the mutex in place and publishes it. The caller has claimed the
// block by storing its process id in state.
CQVMutex* construct(CStorageLockBlock* block, UInt32 self) {
    CQVMutex* mutex = new (&block->mutex) CQVMutex(true, 0);
    if (!mutex->isValid()) {
        // Give the next process a chance to try again.
        UInt32 expected = self;
        block->state.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
        return nullptr;
    }
    block->state.store(CStorageLockBlock::READY, std::memory_order_release);
    return mutex;
}

}  // namespace

CQVMutex* CStorageLockBlock::prepare(void* address, UInt32 timeoutMs) {
    if (address == nullptr) {
        return nullptr;
    }
    // The state word is zero-filled memory of a new object; it is only ever
    // accessed atomically.
    CStorageLockBlock* block = static_cast<CStorageLockBlock*>(address);
    const UInt32 self = static_cast<UInt32>(::getpid());
    const UInt64 deadline = monotonicNs() + static_cast<UInt64>(timeoutMs) * 1000000u;

    for (;;) {
        UInt32 state = block->state.load(std::memory_order_acquire);
        if (state == READY) {
            return &block->mutex;
        }
        if (state == 0 || (state != self && processIsGone(state))) {
            if (block->state.compare_exchange_strong(state, self, std::memory_order_acq_rel)) {
                return construct(block, self);
            }
            continue;  // somebody else claimed it; look again
        }
        if (monotonicNs() >= deadline) {
            return nullptr;
        }
        ::usleep(kPollMicroseconds);
    }
}
