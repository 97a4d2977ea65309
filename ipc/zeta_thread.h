// CZetaThread: the middleware connection thread of one IPC adapter.
//
// The constructor starts a thread whose run() drives the embedded
// connection's event loop until stop(). stop() wakes the loop and then
// waits, polling every 10 ms, until run() has left it; a thread that was
// started but has not yet entered run() counts as running, so stop() never
// returns while run() may still begin or execute and the owner may delete
// the object right after. stop() then joins the thread, so that none of the
// library's code still runs on it when the library is unloaded.
//
// Threads: construct, stop and destroy on one owner thread; getConnection()
// from any thread (CZetaConnection is thread-safe).
#pragma once

#include <atomic>

#include "platform/qv_thread_ctrl.h"
#include "platform/qv_types.h"
#include "platform/zeta/zeta_connection.h"

class CZetaThread : public CQVThreadCtrl::IRunnable {
public:
    CZetaThread();
    ~CZetaThread() override;

    CZetaThread(const CZetaThread&) = delete;
    CZetaThread& operator=(const CZetaThread&) = delete;

    void run() override;
    void stop(Int32 code);

    CZetaConnection& getConnection() { return mConnection; }
    // 0 when the thread could not be started.
    int getThreadId() const { return mThreadId; }
    bool isRunning() const { return mRunning.load(); }

    // Tests put a failing thread start in place of CQVThreadCtrl::startThread.
    typedef int (*StartThreadFunction)(CQVThreadCtrl::IRunnable&, bool, int, int);
    static void setStartThreadFunction(StartThreadFunction function);

private:
    int mThreadId;
    CZetaConnection mConnection;
    std::atomic<bool> mRunning;
};
