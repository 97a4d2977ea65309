// The storage mutex block: the content of the shared-memory object
// "officeplugin_storage_mutex" that every plug-in instance of every browser
// process maps to exclude the others from the storage directory.
//
// Layout (one object per system, never removed while the system runs):
//   CQVMutex mutex   first, so the block's address is the mutex's address;
//                    recursive, process-shared and robust (CQVMutex(true, 0))
//   state            0: nobody has touched the block (a new object is
//                    zero-filled); a process id: that process is
//                    constructing the mutex; READY: the mutex may be used
//
// Whoever maps the block first and finds it untouched constructs the mutex,
// no matter which process created the object, and publishes READY with
// release ordering; everyone else waits for READY before touching the mutex,
// so nobody ever locks uninitialised memory. A constructor that died half
// way (its process id no longer exists) is replaced by the next waiter.
//
// Any thread may call prepare(); it is meant to be called once per mapping.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/qv_mutex.h"
#include "platform/qv_types.h"

struct CStorageLockBlock {
    // Larger than any process id (Linux pid_max is at most 2^22, QNX pids fit
    // in 31 bits but are never this value in practice).
    static constexpr UInt32 READY = 0x7EADC0DEu;

    CQVMutex mutex;
    std::atomic<UInt32> state;

    // The mutex in the mapped block at address, constructed here if nobody
    // did; null when it did not become ready within timeoutMs (its
    // constructor is alive but stuck) or could not be constructed. Does not
    // log; the caller does.
    static CQVMutex* prepare(void* address, UInt32 timeoutMs);

    // Bytes to map.
    static std::size_t size() { return sizeof(CStorageLockBlock); }
};

static_assert(std::atomic<UInt32>::is_always_lock_free,
              "the ready marker is shared between processes and must be lock-free");
