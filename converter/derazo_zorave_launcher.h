// CDerazoZoraveLauncher: runs the converter program "DerazoZoraveMain" from
// the converter directory (OFFICE_PLUGINS_BIN, read once at construction)
// and kills it on request.
//
// The converter runs concurrently, as the leader of a process group of its
// own, with the plug-in's environment. A watcher (CChildWatch) reaps it as
// soon as it ends, so it never lingers as a zombie, and its process id is
// never signalled once it may have been reused. Killing signals the whole
// group with SIGKILL, so helper processes of the converter go with it.
//
// isStarted() is true from a successful start until a successful kill(). A
// converter that ended by itself leaves the launcher started: the next
// kill() fails with the warning "No such process" and returns false, a
// further start is refused, and the destructor logs "Can't stop converter".
//
// Threads: start, kill and stop are serialised by a lock; one thread may
// start and kill while another kills or asks isStarted().
#pragma once

#include <atomic>
#include <mutex>

#include "converter/child_watch.h"
#include "converter/launcher.h"
#include "platform/qv_types.h"

class CDerazoZoraveLauncher : public ILauncher {
public:
    CDerazoZoraveLauncher();
    // kill(); logs "Can't stop converter. pid: %d" when it fails.
    virtual ~CDerazoZoraveLauncher();

    virtual bool isStarted() const;
    virtual bool start();
    virtual bool start(const TQVVector<CQVString>& args);
    // Same as kill().
    virtual bool stop();
    virtual bool start(const TQVVector<CQVString>& args, int inheritedFd);
    virtual bool waitForExit(int timeoutMs);
    virtual int exitSignal();
    virtual void requestStop();

    // SIGKILL to the converter's process group, then waits (at most
    // sKillWaitMs) for it to be reaped. True when nothing was started or the
    // signal was sent.
    bool kill();

    // A new[] copy of text with its terminator; null for null.
    static char* copyStr(const char* text);

    // The program's file name inside the converter directory.
    static const char* const sProgramName;
    // How long kill() waits for the killed converter to be reaped before
    // leaving that to the watcher.
    static const int sKillWaitMs = 2000;

private:
    CDerazoZoraveLauncher(const CDerazoZoraveLauncher&) = delete;
    CDerazoZoraveLauncher& operator=(const CDerazoZoraveLauncher&) = delete;

    CQVString mConverterDir;
    std::atomic<Int32> mPid;
    CChildWatch mWatch;
    std::mutex mControlMutex;  // serialises start and kill
    bool mKillSent;            // guarded by mControlMutex
};
