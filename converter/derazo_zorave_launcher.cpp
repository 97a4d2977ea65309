#include "converter/derazo_zorave_launcher.h"

#include <signal.h>

#include <cerrno>
#include <cstring>

#include "converter/process_group_spawn.h"
#include "log/logger.h"
#include "params/office_params_base.h"

const char* const CDerazoZoraveLauncher::sProgramName = "DerazoZoraveMain";

CDerazoZoraveLauncher::CDerazoZoraveLauncher()
    : mConverterDir(COfficeParamsBase::getInstance()->getValue(COfficeParamsBase::BIN_PATH)),
      mPid(-1),
      mKillSent(false) {}

CDerazoZoraveLauncher::~CDerazoZoraveLauncher() {
    if (!kill()) {
        QV_LOG(LogMessage::ERROR, "Can't stop converter. pid: %d", static_cast<int>(mPid.load()));
    }
}

bool CDerazoZoraveLauncher::isStarted() const { return mPid.load() != -1; }

bool CDerazoZoraveLauncher::start() { return start(TQVVector<CQVString>()); }

bool CDerazoZoraveLauncher::start(const TQVVector<CQVString>& args) { return start(args, -1); }

bool CDerazoZoraveLauncher::stop() { return kill(); }

char* CDerazoZoraveLauncher::copyStr(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    std::size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}

bool CDerazoZoraveLauncher::start(const TQVVector<CQVString>& args, int inheritedFd) {
    std::lock_guard<std::mutex> control(mControlMutex);
    if (isStarted()) {
        QV_LOG(LogMessage::ERROR, "Already started");
        return false;
    }
    CQVString program = mConverterDir + sProgramName;

    const int count = args.size();
    char** argv = new char*[static_cast<std::size_t>(count) + 2];
    argv[0] = copyStr(program.c_str());
    for (int i = 0; i < count; ++i) {
        argv[i + 1] = copyStr(args[i].c_str());
    }
    argv[count + 1] = nullptr;

    QV_LOG(LogMessage::MESSAGE, "%s", program.c_str());
    Int32 pid = NConverterProcess::spawnGroupLeader(program.c_str(), argv, inheritedFd);
    int spawnError = errno;
    for (int i = 0; i < count + 1; ++i) {
        delete[] argv[i];
    }
    delete[] argv;

    if (pid != -1 && !mWatch.watch(pid)) {
        // Without a watcher nobody would reap it: do not run it at all.
        spawnError = errno;
        ::kill(-pid, SIGKILL);
        NConverterProcess::reap(pid);
        pid = -1;
    }
    if (pid == -1) {
        QV_LOG(LogMessage::ERROR, "%s", strerror(spawnError));
        return false;
    }
    mPid.store(pid);
    mKillSent = false;
    QV_LOG(LogMessage::MESSAGE, "Success!");
    return true;
}

bool CDerazoZoraveLauncher::waitForExit(int timeoutMs) {
    std::lock_guard<std::mutex> control(mControlMutex);
    return mPid.load() == -1 || mWatch.waitForEnd(timeoutMs);
}

int CDerazoZoraveLauncher::exitSignal() {
    std::lock_guard<std::mutex> control(mControlMutex);
    return mPid.load() == -1 || mKillSent ? 0 : mWatch.exitSignal();
}

void CDerazoZoraveLauncher::requestStop() {
    std::unique_lock<std::mutex> control(mControlMutex, std::try_to_lock);
    if (control.owns_lock() && mPid.load() != -1 && mWatch.signalGroup(SIGKILL)) {
        mKillSent = true;
    }
}

bool CDerazoZoraveLauncher::kill() {
    std::lock_guard<std::mutex> control(mControlMutex);
    Int32 pid = mPid.load();
    if (pid == -1) {
        return true;
    }
    QV_LOG(LogMessage::MESSAGE, "pid: %d", static_cast<int>(pid));
    // Gone after the kill that requestStop sent counts as killed.
    if (!mWatch.signalGroup(SIGKILL) && !(errno == ESRCH && mKillSent)) {
        QV_LOG(LogMessage::WARNING, "%s", strerror(errno));
        return false;
    }
    // SIGKILL cannot be caught, so this is normally a matter of
    // milliseconds; if it is not, the watcher reaps the converter later.
    mWatch.waitForEnd(sKillWaitMs);
    mWatch.release();
    mPid.store(-1);
    return true;
}
