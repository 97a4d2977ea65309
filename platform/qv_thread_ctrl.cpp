#include "platform/qv_thread_ctrl.h"

#include <limits.h>
#include <pthread.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace {

// Joinable threads not yet joined, by id. Detached threads are not listed:
// nobody may join them, and they would never be taken out.
struct ThreadTable {
    std::mutex mutex;
    std::map<int, pthread_t> joinable;
    int lastId = 0;

    // REQUIRES: mutex held.
    int nextId() {
        do {
            lastId = lastId == INT_MAX ? 1 : lastId + 1;
        } while (joinable.count(lastId) != 0);
        return lastId;
    }
};

ThreadTable& table() {
    // Destroyed with the library: a plug-in library may be unloaded, and a
    // table left on the heap would leak with every load. Every thread of the
    // library has been joined or has ended by then.
    static ThreadTable instance;
    return instance;
}

void* threadMain(void* argument) {
    static_cast<CQVThreadCtrl::IRunnable*>(argument)->run();
    return nullptr;
}

}  // namespace

int CQVThreadCtrl::startThread(IRunnable& runnable, bool detached, int /*priority*/,
                               int stackSize) {
    pthread_attr_t attr;
    int rc = pthread_attr_init(&attr);
    if (rc != 0) {
        errno = rc;
        return 0;
    }
    rc = pthread_attr_setdetachstate(&attr, detached ? PTHREAD_CREATE_DETACHED
                                                     : PTHREAD_CREATE_JOINABLE);
    if (rc == 0 && stackSize > 0) {
        const size_t minimum = static_cast<size_t>(PTHREAD_STACK_MIN);
        size_t size = static_cast<size_t>(stackSize);
        rc = pthread_attr_setstacksize(&attr, size < minimum ? minimum : size);
    }
    int id = 0;
    if (rc == 0) {
        ThreadTable& threads = table();
        // Held across the creation so that the id is listed before anyone
        // can learn it.
        std::lock_guard<std::mutex> lock(threads.mutex);
        pthread_t thread;
        rc = pthread_create(&thread, &attr, threadMain, &runnable);
        if (rc == 0) {
            id = threads.nextId();
            if (!detached) {
                threads.joinable[id] = thread;
            }
        }
    }
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        errno = rc;
        return 0;
    }
    return id;
}

int CQVThreadCtrl::join(int id, int reserved) {
    if (reserved != 0) {
        errno = EINVAL;
        return -1;
    }
    pthread_t thread;
    {
        ThreadTable& threads = table();
        std::lock_guard<std::mutex> lock(threads.mutex);
        auto it = threads.joinable.find(id);
        if (it == threads.joinable.end()) {
            errno = ESRCH;
            return -1;
        }
        if (pthread_equal(it->second, pthread_self())) {
            errno = EDEADLK;
            return -1;
        }
        thread = it->second;
        // Taken out before waiting, so a second join fails at once instead
        // of joining a pthread_t twice.
        threads.joinable.erase(it);
    }
    int rc = pthread_join(thread, nullptr);
    if (rc != 0) {
        errno = rc;
        return -1;
    }
    return 0;
}
