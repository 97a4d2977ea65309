#include "ipc/zeta_thread.h"

#include <unistd.h>

#include "log/logger.h"

namespace {
std::atomic<CZetaThread::StartThreadFunction> gStartThread(&CQVThreadCtrl::startThread);
}

void CZetaThread::setStartThreadFunction(StartThreadFunction function) {
    gStartThread.store(function != nullptr ? function : &CQVThreadCtrl::startThread);
}

CZetaThread::CZetaThread() : mThreadId(0), mRunning(false) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "   Calling CQVThreadCtrl::startThread");
    // Running from here on: stop() must wait for a run() that has not begun.
    mRunning.store(true);
    // Joinable, and joined by stop(): a thread left to finish on its own could
    // still be executing the library's code after the library is unloaded.
    mThreadId = gStartThread.load()(*this, false, CQVThreadCtrl::DEFAULTPRIORITY, CQVThreadCtrl::DEFAULTSTACKSIZE);
    if (mThreadId == 0) {
        mRunning.store(false);
        QV_LOG(LogMessage::MESSAGE, "Error: CQVThreadCtrl::startThread (this)");
    }
}

CZetaThread::~CZetaThread() { QV_LOG_ENTRY(); }

void CZetaThread::run() {
    QV_LOG_ENTRY();
    mRunning.store(true);
    mConnection.start();
    QV_LOG(LogMessage::MESSAGE, "Zeta thread finished! << 0x%p", static_cast<void*>(this));
    // Last touch of this object: the owner may delete it from here on.
    mRunning.store(false);
}

void CZetaThread::stop(Int32 code) {
    mConnection.stop(code);
    QV_LOG(LogMessage::MESSAGE, "   Waiting until Zeta tread %d has finished", mThreadId);
    do {
        usleep(10000);
    } while (mRunning.load());
    if (mThreadId != 0 && CQVThreadCtrl::join(mThreadId, 0) == 0) mThreadId = 0;
}
