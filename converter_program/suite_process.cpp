#include "converter_program/suite_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "converter_program/process_status.h"

namespace {

std::vector<char*> pointers(const std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (const std::string& text : texts) {
        result.push_back(const_cast<char*>(text.c_str()));
    }
    result.push_back(nullptr);
    return result;
}

// In the child: reports errno on the error pipe and ends.
[[noreturn]] void failChild(int errorFd) {
    int error = errno;
    ssize_t ignored = ::write(errorFd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

// Parent and process group of every process.
std::map<pid_t, tProcessStatus> processTable() {
    std::map<pid_t, tProcessStatus> table;
    DIR* dir = ::opendir("/proc");
    if (dir == nullptr) {
        return table;
    }
    while (struct dirent* entry = ::readdir(dir)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        tProcessStatus status;
        if (pid > 0 && readProcessStatus(pid, status)) {
            table[pid] = status;
        }
    }
    ::closedir(dir);
    return table;
}

// Descendants of this process in its process group.
std::vector<pid_t> leftovers() {
    const pid_t self = ::getpid();
    const pid_t group = ::getpgrp();
    const std::map<pid_t, tProcessStatus> table = processTable();
    std::vector<pid_t> found;
    for (const auto& [pid, entry] : table) {
        if (pid == self || entry.group != group) {
            continue;
        }
        pid_t ancestor = entry.parent;
        for (int depth = 0; depth < 64 && ancestor > 1 && ancestor != self; ++depth) {
            auto up = table.find(ancestor);
            ancestor = up == table.end() ? 0 : up->second.parent;
        }
        if (ancestor == self) {
            found.push_back(pid);
        }
    }
    return found;
}

void reapEndedChildren() {
    for (;;) {
        const pid_t ended = ::waitpid(-1, nullptr, WNOHANG);
        if (ended <= 0 && !(ended < 0 && errno == EINTR)) {
            return;
        }
    }
}

}  // namespace

void adoptOrphans() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

void endSuiteLeftovers() {
    for (int round = 0; round < 40; ++round) {
        reapEndedChildren();
        const std::vector<pid_t> found = leftovers();
        if (found.empty()) {
            return;
        }
        for (pid_t pid : found) {
            ::kill(pid, SIGKILL);
        }
        struct timespec pause = {0, 50 * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

void markAllCloseOnExec() {
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) {
        return;
    }
    // Older kernels: one by one.
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) {
        return;
    }
    int own = ::dirfd(dir);
    while (struct dirent* entry = ::readdir(dir)) {
        int fd = std::atoi(entry->d_name);
        if (fd > 2 && fd != own) {
            int flags = ::fcntl(fd, F_GETFD);
            if (flags >= 0) {
                ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
            }
        }
    }
    ::closedir(dir);
}

pid_t spawnSuite(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment, const std::string& logPath) {
    std::vector<std::string> argvTexts;
    argvTexts.push_back(program);
    argvTexts.insert(argvTexts.end(), args.begin(), args.end());
    std::vector<char*> argv = pointers(argvTexts);
    std::vector<char*> envp = pointers(environment);

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        return -1;
    }
    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        int saved = errno;
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        errno = saved;
        return -1;
    }
    if (pid == 0) {
        ::close(errorPipe[0]);
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) {
            failChild(errorPipe[1]);
        }
        // The converter may have died before the signal was armed.
        if (::getppid() != parent) {
            ::_exit(127);
        }
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        int in = ::open("/dev/null", O_RDONLY);
        int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (in < 0 || log < 0 || ::dup2(in, 0) < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0) {
            failChild(errorPipe[1]);
        }
        if (in > 2) {
            ::close(in);
        }
        if (log > 2) {
            ::close(log);
        }
        ::execve(program.c_str(), argv.data(), envp.data());
        failChild(errorPipe[1]);
    }
    ::close(errorPipe[1]);
    int childError = 0;
    ssize_t got;
    do {
        got = ::read(errorPipe[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    if (got == 0) {
        return pid;
    }
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    errno = got == static_cast<ssize_t>(sizeof childError) ? childError : ECHILD;
    return -1;
}
