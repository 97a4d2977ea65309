// CChildWatch: reaps one child process the moment it ends, and signals its
// process group only while that cannot reach another process.
//
// A watcher thread waits for the child (the leader of its own process
// group) to end, then, under the watch's lock and before reaping it, kills
// what is left in the group (helpers the child started), reaps the child and
// records that it ended. So the child is never a zombie for longer than that,
// and signalGroup, which holds the same lock, only signals while the
// leader's process id is still ours and cannot have been reused.
//
// One watch covers one child. watch, signalGroup, waitForEnd and release
// may be called from different threads; release and destruction only by
// one thread at a time, with no other call in progress.
#pragma once

#include <pthread.h>

#include "platform/qv_shared_ptr.h"
#include "platform/qv_types.h"

class CChildWatch {
public:
    CChildWatch();
    // release().
    ~CChildWatch();

    CChildWatch(const CChildWatch&) = delete;
    CChildWatch& operator=(const CChildWatch&) = delete;

    // Starts watching pid, a child of this process that leads its own
    // process group. False with errno set when no watcher thread could be
    // started (the child is then not watched). REQUIRES: idle.
    bool watch(Int32 pid);
    // Sends sig to the child's process group. False with errno ESRCH when
    // the child has already ended (or nothing is watched), or with the
    // errno of kill(2).
    bool signalGroup(int sig);
    // Waits at most timeoutMs for the child to end and be reaped.
    bool waitForEnd(int timeoutMs);
    bool hasEnded() const;
    // The signal that ended the child, 0 when it exited, has not ended or
    // nothing is watched.
    int exitSignal() const;
    // Back to idle: joins the watcher when the child has ended; otherwise
    // leaves it running on its own, to reap the child whenever it ends.
    void release();

    struct CShared;

private:
    TQVSharedPtr<CShared> mShared;
    pthread_t mThread;
    bool mRunning;
};
