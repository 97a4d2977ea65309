#include "converter/converter_office.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "converter/derazo_zorave_launcher.h"
#include "platform/qv_vector.h"

namespace {

const char* const kEntryPointName = "index.html";

// Set while convertFile stops its own converter, so that this abort() does
// not count as an interruption from outside.
thread_local bool tFinishingOwnConversion = false;

}  // namespace

CConverterOffice::CConverterOffice()
    : mLauncher(new CDerazoZoraveLauncher), mInterrupted(false), mComplete(false) {
    QV_LOG_ENTRY();
}

CConverterOffice::~CConverterOffice() {
    QV_LOG_ENTRY();
    delete mLauncher;
}

CQVString CConverterOffice::getEntryPointName() const { return kEntryPointName; }

CQVString CConverterOffice::convertFile(const CQVString& srcFilePath, const CQVString& dstDirPath) {
    QV_LOG(LogMessage::MESSAGE, "srcFilePath=%s, dstDirPath=%s, entryPoint=%s", srcFilePath.c_str(),
           dstDirPath.c_str(), kEntryPointName);
    mComplete.store(false);
    QV_LOG(LogMessage::MESSAGE, "starting DerazoZoraveMain");

    int fds[2];
    if (mInterrupted.load()) {
        QV_LOG(LogMessage::WARNING, "conversion was interrupted before it started");
    } else if (pipe2(fds, O_CLOEXEC) != 0) {
        // Both ends stay close-on-exec here; the launcher opens the write
        // end for our converter alone.
        QV_LOG(LogMessage::ERROR, "pipe: %s", strerror(errno));
    } else {
        char fdText[15];
        std::snprintf(fdText, sizeof(fdText), "%d", fds[1]);
        TQVVector<CQVString> args;
        args.push_back(srcFilePath);
        args.push_back(dstDirPath + kEntryPointName);
        args.push_back(fdText);
        bool started = mLauncher->start(args, fds[1]);
        if (close(fds[1]) != 0) {
            QV_LOG(LogMessage::ERROR, "close fd: %s", strerror(errno));
        }
        if (started) {
            bool closedByConverter = false;
            // An abort that came between the check above and the start
            // found nothing to kill; the flag still tells.
            if (!mInterrupted.load()) {
                closedByConverter = listen(fds[0]);
            }
            bool interrupted = mInterrupted.load();
            if (closedByConverter && !interrupted) {
                mLauncher->waitForExit(sExitGraceMs);
                // Closing the pipe by dying of a crash is no finished output.
                if (int sig = mLauncher->exitSignal()) {
                    QV_LOG(LogMessage::ERROR, "Error: DerazoZoraveMain died of signal %d", sig);
                    closedByConverter = false;
                }
            }
            tFinishingOwnConversion = true;
            abort();
            tFinishingOwnConversion = false;
            mComplete.store(closedByConverter && !interrupted);
        }
        if (close(fds[0]) != 0) {
            QV_LOG(LogMessage::ERROR, "close fd: %s", strerror(errno));
        }
    }
    QV_LOG(LogMessage::MESSAGE, "convertation is finished");
    return kEntryPointName;
}

void CConverterOffice::abort() {
    if (!tFinishingOwnConversion) {
        mInterrupted.store(true);
    }
    std::lock_guard<std::mutex> lock(mAbortMutex);
    if (!mLauncher->isStarted()) {
        return;
    }
    if (mLauncher->stop()) {
        QV_LOG(LogMessage::MESSAGE, "conversion has been aborted");
    } else {
        QV_LOG(LogMessage::ERROR, "Can't stop launcher");
    }
}

void CConverterOffice::interrupt() {
    mInterrupted.store(true);
    mLauncher->requestStop();
}

bool CConverterOffice::listen(int fd) {
    if (fcntl(fd, F_SETFL, O_NONBLOCK) != 0) {
        QV_LOG(LogMessage::ERROR, "fcntl: %s", strerror(errno));
        return false;
    }
    timespec killTime;
    timespec startTime;
    if (!getKillTime(killTime, startTime)) {
        return false;
    }
    bool streamOpened = false;
    std::size_t capacity = sInitialCapacity;
    char* buffer = new char[capacity + 1];
    LogMessage::type type = LogMessage::MESSAGE;
    bool closedByConverter = false;
    for (;;) {
        if (!readMessageWithHeader(fd, streamOpened, killTime, capacity, buffer, type)) {
            closedByConverter = errno == EPIPE;
            break;
        }
        if (type == LogMessage::MESSAGE || type == LogMessage::WARNING ||
            type == LogMessage::ERROR) {
            QV_LOG(type, "%s", buffer);
        }
    }
    delete[] buffer;
    double seconds = 0.0;
    if (getExecutionTime(seconds, startTime)) {
        QV_LOG(LogMessage::MESSAGE, "Execution time %0.2lfs", seconds);
    }
    return closedByConverter;
}
