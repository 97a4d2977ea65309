// ILauncher: starts one external program as a child process and stops it.
//
// A launcher runs at most one child at a time. isStarted() is true from a
// successful start until a successful stop; a child that ends by itself
// leaves the launcher started, so the following stop fails and a new start
// is refused until then.
//
// Implementations may be called from two threads: the thread that starts
// the child and later stops it, and another thread that stops it early.
#pragma once

#include "platform/qv_string.h"
#include "platform/qv_vector.h"

class ILauncher {
public:
    virtual ~ILauncher() {}

    virtual bool isStarted() const = 0;
    // start(args) with no arguments.
    virtual bool start() = 0;
    // Starts the program with args as its arguments 1..n. The child keeps
    // every descriptor of the caller that is not close-on-exec.
    virtual bool start(const TQVVector<CQVString>& args) = 0;
    // Kills the child; true when there was none or it was killed.
    virtual bool stop() = 0;
    // Starts the program with args as its arguments 1..n, handing over
    // exactly one descriptor: inheritedFd (which the caller keeps
    // close-on-exec, so that no other child inherits it) is opened in the
    // child without close-on-exec; every other descriptor above 2 is closed
    // there. inheritedFd -1: as start(args).
    virtual bool start(const TQVVector<CQVString>& args, int inheritedFd) = 0;
    // Waits at most timeoutMs for a started child to end by itself; true
    // when it has ended (or none was started). The launcher stays started.
    virtual bool waitForExit(int timeoutMs) = 0;
    // The signal that ended the child, when one did and this launcher did
    // not send it; 0 otherwise (exited, still running, none started).
    virtual int exitSignal() = 0;
    // Asks a running child to be killed without waiting for anything: when
    // the launcher is busy starting or killing, nothing is done, and the
    // caller's own flag must stop what follows. Any thread.
    virtual void requestStop() = 0;
};
