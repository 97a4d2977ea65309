#include "converter_program/converter_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "converter/msg_header.h"
#include "converter_program/converter_settings.h"
#include "converter_program/service_client.h"
#include "converter_program/staging.h"

namespace NConverterTest {

namespace {

double now() {
    struct timespec time;
    ::clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

bool readExactly(int fd, void* buffer, std::size_t size, bool& ended) {
    char* bytes = static_cast<char*>(buffer);
    std::size_t got = 0;
    ended = false;
    while (got < size) {
        ssize_t n = ::read(fd, bytes + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ended = got == 0 && n == 0;
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<pid_t> allPids() {
    std::vector<pid_t> pids;
    DIR* dir = ::opendir("/proc");
    if (dir == nullptr) {
        return pids;
    }
    while (struct dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (*end == '\0' && pid > 0) {
            pids.push_back(static_cast<pid_t>(pid));
        }
    }
    ::closedir(dir);
    return pids;
}

}  // namespace

CConverterProcess::~CConverterProcess() {
    if (mPid > 0) {
        ::kill(-mPid, SIGKILL);
        ::waitpid(mPid, nullptr, 0);
    }
    if (mReadFd >= 0) {
        ::close(mReadFd);
    }
}

bool CConverterProcess::start(const std::string& source, const std::string& entryPage,
                              const std::vector<std::string>& extraEnv) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    mStart = now();
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        ::fcntl(fds[1], F_SETFD, 0);
        ::putenv(const_cast<char*>("OFFICE_PLUGINS_CONVERTER_IDLE=0"));
        for (const std::string& entry : extraEnv) {
            ::putenv(const_cast<char*>(entry.c_str()));
        }
        std::string fdText = std::to_string(fds[1]);
        const char* argv[] = {RRZ_CONVERTER_PATH, source.c_str(), entryPage.c_str(), fdText.c_str(), nullptr};
        ::execv(RRZ_CONVERTER_PATH, const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::setpgid(pid, pid);  // either side may win the race
    ::close(fds[1]);
    mPid = pid;
    mReadFd = fds[0];
    return true;
}

bool CConverterProcess::finish() {
    bool wellFormed = true;
    for (;;) {
        msgheader header;
        bool ended = false;
        if (!readExactly(mReadFd, &header, sizeof header, ended)) {
            wellFormed = wellFormed && ended;
            break;
        }
        if (header.type < 0 || header.type > 2 || header.length == 0 || header.length > PIPE_BUF - 8) {
            wellFormed = false;
            break;
        }
        std::string text(header.length, '\0');
        if (!readExactly(mReadFd, &text[0], header.length, ended)) {
            wellFormed = false;
            break;
        }
        mMessages.push_back(tMessage{header.type, text});
    }
    int status = 0;
    while (::waitpid(mPid, &status, 0) < 0 && errno == EINTR) {
    }
    mSeconds = now() - mStart;
    mExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    mPid = -1;
    return wellFormed;
}

bool CConverterProcess::hasMessage(int type, const std::string& part) const {
    for (const tMessage& message : mMessages) {
        if (message.type == type && message.text.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string CConverterProcess::transcript() const {
    std::string text;
    for (const tMessage& message : mMessages) {
        text += std::to_string(message.type) + ": " + message.text + "\n";
    }
    return text;
}

bool officeSuiteInstalled() { return ::access(sDefaultSuiteProgram, X_OK) == 0; }

std::string sample(const std::string& name) {
    std::string path = std::string(RRZ_SAMPLES_DIR) + "/" + name;
    return exists(std::string(RRZ_SAMPLES_DIR) + "/stamp") && exists(path) ? path : std::string();
}

std::vector<pid_t> processesInGroup(pid_t pgid) {
    std::vector<pid_t> result;
    for (pid_t pid : allPids()) {
        // Fields after the parenthesised name: state ppid pgrp ...
        std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
        std::string::size_type close = stat.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(stat.substr(close + 1));
        std::string state;
        long ppid = 0, pgrp = 0;
        fields >> state >> ppid >> pgrp;
        // A zombie waiting for its parent is gone for every practical purpose.
        if (pgrp == pgid && state != "Z") {
            result.push_back(pid);
        }
    }
    return result;
}

std::vector<pid_t> suiteProcessesMentioning(const std::string& part) {
    std::vector<pid_t> result;
    for (pid_t pid : allPids()) {
        std::string cmdline = readFile("/proc/" + std::to_string(pid) + "/cmdline");
        // The program itself, not one that names it among its arguments.
        std::string program = cmdline.substr(0, cmdline.find('\0'));
        if (program.find("soffice.bin") != std::string::npos && cmdline.find(part) != std::string::npos) {
            result.push_back(pid);
        }
    }
    return result;
}

std::vector<std::string> workDirsIn(const std::string& dir) {
    std::vector<std::string> names;
    DIR* handle = ::opendir(dir.c_str());
    if (handle == nullptr) {
        return names;
    }
    while (struct dirent* entry = ::readdir(handle)) {
        if (std::strncmp(entry->d_name, ".convert-", 9) == 0) {
            names.push_back(entry->d_name);
        }
    }
    ::closedir(handle);
    return names;
}

namespace {

void collectFiles(const std::string& root, const std::string& relative,
                  std::vector<std::pair<std::string, std::string>>& files) {
    DIR* handle = ::opendir((root + relative).c_str());
    if (handle == nullptr) {
        return;
    }
    std::vector<std::string> names;
    while (struct dirent* entry = ::readdir(handle)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    ::closedir(handle);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        struct stat status;
        const std::string path = relative + name;
        if (::lstat((root + path).c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            collectFiles(root, path + "/", files);
        } else {
            files.emplace_back(path, readFile(root + path));
        }
    }
}

}  // namespace

std::vector<std::pair<std::string, std::string>> filesBelow(const std::string& dir) {
    std::vector<std::pair<std::string, std::string>> files;
    collectFiles(dir, "", files);
    return files;
}

CTestService::CTestService(const std::string& dir, int idleSeconds) : mDir(dir), mIdleSeconds(idleSeconds) {}

CTestService::~CTestService() {
    askService(mDir, "stop");
    if (!waitFor([this] { return gone(); }, 30000)) {
        ADD_FAILURE() << "the office suite service of " << mDir << " did not end";
        for (pid_t pid : suiteProcessesMentioning(mDir)) {
            ::kill(pid, SIGKILL);
        }
        long service = status("service");
        if (service > 1) {
            ::kill(static_cast<pid_t>(service), SIGKILL);
        }
    }
}

std::vector<std::string> CTestService::environment() const {
    return {"OFFICE_PLUGINS_CONVERTER_SERVICE_DIR=" + mDir,
            "OFFICE_PLUGINS_CONVERTER_IDLE=" + std::to_string(mIdleSeconds)};
}

long CTestService::status(const std::string& name) const {
    const std::string line = askService(mDir, "status");
    std::string::size_type at = line.find(" " + name + "=");
    return at == std::string::npos ? -1 : std::atol(line.c_str() + at + name.size() + 2);
}

bool CTestService::gone() const {
    int fd = ::open((mDir + "lock").c_str(), O_RDONLY | O_CLOEXEC);
    bool unlocked = fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return unlocked && suiteProcessesMentioning(mDir).empty();
}

}  // namespace NConverterTest
