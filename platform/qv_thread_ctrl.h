// CQVThreadCtrl: starting and joining threads by id.
//
// startThread runs runnable.run() on a new thread. A detached thread
// (detached = true) cleans up after itself and cannot be joined; a joinable
// one must be joined exactly once, by a thread other than itself, to release
// it. Ids are non-zero and not reused within a process's life (until 2^31
// threads have been started).
//
// The caller guarantees that the runnable outlives its run(): for a joinable
// thread, until join returns; for a detached one, for as long as run() may
// still use it.
//
// All operations are static and thread-safe: any thread may start or join.
#pragma once

#include "platform/qv_types.h"

class CQVThreadCtrl {
public:
    // What a thread runs.
    class IRunnable {
    public:
        virtual ~IRunnable() {}
        virtual void run() = 0;
    };

    // The platform's defaults: the priority is inherited from the starting
    // thread, the stack size is the system's default.
    static const int DEFAULTPRIORITY = -1;
    static const int DEFAULTSTACKSIZE = 0;

    // Starts the thread. priority: DEFAULTPRIORITY (other values are accepted
    // and ignored; the threads of this system all run at their creator's
    // priority). stackSize: DEFAULTSTACKSIZE or a size in bytes (raised to
    // the system minimum). Returns the thread's id, or 0 with errno set when
    // no thread could be started.
    static int startThread(IRunnable& runnable, bool detached, int priority, int stackSize);

    // Waits until the thread id has ended. reserved must be 0. Returns 0,
    // or -1 when id is unknown, detached, already joined (or being joined),
    // the calling thread itself, or reserved is not 0.
    static int join(int id, int reserved);
};
