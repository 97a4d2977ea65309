#include "converter/process_group_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

// Closes lo..hi in the child; close_range may be missing on old kernels.
void closeRange(unsigned lo, unsigned hi, long openMax) {
    if (lo > hi) {
        return;
    }
    if (close_range(lo, hi, 0) == 0) {
        return;
    }
    unsigned last = openMax > 0 && static_cast<unsigned long>(openMax) - 1 < hi
                        ? static_cast<unsigned>(openMax - 1)
                        : hi;
    for (unsigned fd = lo; fd <= last; ++fd) {
        close(static_cast<int>(fd));
    }
}

// Closes every descriptor above 2 except keepA and keepB (-1: none).
void closeAllExcept(int keepA, int keepB, long openMax) {
    int low = keepA < keepB ? keepA : keepB;
    int high = keepA < keepB ? keepB : keepA;
    unsigned from = 3;
    const int keep[2] = {low, high};
    for (int fd : keep) {
        if (fd >= 0 && static_cast<unsigned>(fd) >= from) {
            if (static_cast<unsigned>(fd) > from) {
                closeRange(from, static_cast<unsigned>(fd) - 1, openMax);
            }
            from = static_cast<unsigned>(fd) + 1;
        }
    }
    closeRange(from, ~0U, openMax);
}

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] void childMain(const char* path, char* const argv[], int inheritedFd,
                            int errorFd, long openMax, pid_t parent) {
    int failure = 0;
    if (setpgid(0, 0) != 0) {
        failure = errno;
    }
#ifdef __linux__
    // A browser that is killed outright cannot kill its converter, which
    // would then run on (a hung one for ever); the kernel kills it instead
    // when the forking thread, which waits for the converter, goes. A parent
    // gone before this call is noticed by getppid.
    if (failure == 0 && prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) {
        failure = errno;
    }
    if (failure == 0 && getppid() != parent) {
        failure = ESRCH;
    }
#else
    (void)parent;
#endif
    if (failure == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig = 1; sig < NSIG; ++sig) {
            struct sigaction current;
            if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
                struct sigaction byDefault = {};
                byDefault.sa_handler = SIG_DFL;
                sigaction(sig, &byDefault, nullptr);
            }
        }
        if (inheritedFd >= 0) {
            if (fcntl(inheritedFd, F_SETFD, 0) != 0) {
                failure = errno;
            } else {
                closeAllExcept(inheritedFd, errorFd, openMax);
            }
        }
    }
    if (failure == 0) {
        execv(path, argv);
        failure = errno;
    }
    ssize_t ignored = write(errorFd, &failure, sizeof(failure));
    (void)ignored;
    _exit(127);
}

}  // namespace

namespace NConverterProcess {

Int32 spawnGroupLeader(const char* path, char* const argv[], int inheritedFd) {
    // The child reports a failure before exec through this pipe; a
    // successful exec closes it (close-on-exec) without a word.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return -1;
    }
    long openMax = sysconf(_SC_OPEN_MAX);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        close(report[0]);
        childMain(path, argv, inheritedFd, report[1], openMax, parent);
    }
    int forkError = errno;
    close(report[1]);
    if (pid < 0) {
        close(report[0]);
        errno = forkError;
        return -1;
    }
    int childError = 0;
    ssize_t got;
    do {
        got = read(report[0], &childError, sizeof(childError));
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got == 0) {
        return static_cast<Int32>(pid);
    }
    if (got != static_cast<ssize_t>(sizeof(childError)) || childError == 0) {
        // No clear report: the child's state is unknown, so make sure it ends.
        childError = got < 0 ? errno : EIO;
        kill(pid, SIGKILL);
    }
    reap(pid);
    errno = childError;
    return -1;
}

void reap(Int32 pid) {
    while (waitpid(static_cast<pid_t>(pid), nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace NConverterProcess
