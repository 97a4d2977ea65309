#include "converter/child_watch.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

struct CChildWatch::CShared {
    explicit CShared(pid_t child) : pid(child), ended(false), status(0) {}
    const pid_t pid;
    std::mutex mutex;
    std::condition_variable endedChanged;
    bool ended;  // guarded by mutex; the child has been reaped (or is gone)
    int status;  // guarded by mutex; its wait status once reaped, else 0
};

namespace {

void* watcherMain(void* argument) {
    // The thread owns one reference, handed over through the heap.
    TQVSharedPtr<CChildWatch::CShared>* handed =
        static_cast<TQVSharedPtr<CChildWatch::CShared>*>(argument);
    TQVSharedPtr<CChildWatch::CShared> shared = *handed;
    delete handed;

    siginfo_t info;
    int rc;
    do {
        info.si_pid = 0;
        rc = waitid(P_PID, static_cast<id_t>(shared->pid), &info, WEXITED | WNOWAIT);
    } while (rc != 0 && errno == EINTR);

    std::lock_guard<std::mutex> lock(shared->mutex);
    if (rc == 0) {
        // The leader is a zombie, not yet reaped, so the group id is still
        // ours: clear out helpers it left behind, then reap it.
        kill(-shared->pid, SIGKILL);
        while (waitpid(shared->pid, &shared->status, 0) < 0 && errno == EINTR) {
        }
    }
    // Otherwise someone else reaped it (for example SIGCHLD ignored by the
    // host); either way it is gone and must not be signalled any more.
    shared->ended = true;
    shared->endedChanged.notify_all();
    return nullptr;
}

}  // namespace

CChildWatch::CChildWatch() : mThread(), mRunning(false) {}

CChildWatch::~CChildWatch() { release(); }

bool CChildWatch::watch(Int32 pid) {
    TQVSharedPtr<CShared> shared(new CShared(static_cast<pid_t>(pid)));
    TQVSharedPtr<CShared>* handed = new TQVSharedPtr<CShared>(shared);
    int rc = pthread_create(&mThread, nullptr, watcherMain, handed);
    if (rc != 0) {
        delete handed;
        errno = rc;
        return false;
    }
    mShared = shared;
    mRunning = true;
    return true;
}

bool CChildWatch::signalGroup(int sig) {
    if (mShared.isNull()) {
        errno = ESRCH;
        return false;
    }
    std::lock_guard<std::mutex> lock(mShared->mutex);
    if (mShared->ended) {
        errno = ESRCH;
        return false;
    }
    return kill(-mShared->pid, sig) == 0;
}

bool CChildWatch::waitForEnd(int timeoutMs) {
    if (mShared.isNull()) {
        return true;
    }
    std::unique_lock<std::mutex> lock(mShared->mutex);
    return mShared->endedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                          [this] { return mShared->ended; });
}

bool CChildWatch::hasEnded() const {
    if (mShared.isNull()) {
        return true;
    }
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return mShared->ended;
}

int CChildWatch::exitSignal() const {
    if (mShared.isNull()) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(mShared->mutex);
    return mShared->ended && WIFSIGNALED(mShared->status) ? WTERMSIG(mShared->status) : 0;
}

void CChildWatch::release() {
    if (mRunning) {
        if (hasEnded()) {
            pthread_join(mThread, nullptr);
        } else {
            pthread_detach(mThread);
        }
        mRunning = false;
    }
    mShared.reset();
}
