#include "converter_program/service_launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "converter_program/office_macro.h"
#include "converter_program/process_status.h"
#include "converter_program/staging.h"
#include "converter_program/suite_environment.h"
#include "converter_program/suite_process.h"
#include "converter_program/suite_profile.h"

extern char** environ;

const char* const sServicePython = "/usr/bin/python3";

namespace {

const off_t sLogKeptBytes = 1 << 20;

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Through a temporary name and rename, so that a service starting at the
// same time never reads half a file.
bool writeFileWhole(const std::string& path, const char* text) {
    std::string temp = path + ".XXXXXX";
    int fd = ::mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = writeAll(fd, text, std::strlen(text));
    int saved = errno;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) {
        return true;
    }
    saved = errno != 0 ? errno : saved;
    ::unlink(temp.c_str());
    errno = saved;
    return false;
}

// A fresh profile seed, put in place whole (a concurrent launch may win).
bool writeProfileSeed(const std::string& dir, const std::string& suiteProgram) {
    std::string temp = dir + "profile-seed.XXXXXX";
    if (::mkdtemp(&temp[0]) == nullptr) {
        return false;
    }
    const std::string seed = dir + "profile-seed";
    if (!NSuiteProfile::create(temp + "/", NSuiteProfile::productVersion(suiteProgram))) {
        int saved = errno;
        NStaging::removeTree(temp);
        errno = saved;
        return false;
    }
    NStaging::removeTree(seed);
    if (::rename(temp.c_str(), seed.c_str()) != 0) {
        NStaging::removeTree(temp);
    }
    return true;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(&text[0]);
    }
    result.push_back(nullptr);
    return result;
}

// In the grandchild: the service's standard descriptors, nothing else.
bool redirect(const std::string& logPath) {
    struct stat status;
    int truncate = (::stat(logPath.c_str(), &status) == 0 && status.st_size > sLogKeptBytes) ? O_TRUNC : 0;
    int in = ::open("/dev/null", O_RDONLY);
    int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | truncate, 0600);
    if (in < 0 || log < 0 || ::dup2(in, 0) < 0 || ::dup2(log, 1) < 0 || ::dup2(log, 2) < 0) {
        return false;
    }
    if (::close_range(3, ~0U, 0) != 0) {
        markAllCloseOnExec();
    }
    return true;
}

}  // namespace

pid_t launchService(const tConverterSettings& settings) {
    const std::string& dir = settings.serviceDir;
    if (::access(sServicePython, X_OK) != 0) {
        return -1;
    }
    for (const NSuiteProfile::tProgramFile& file : NSuiteProfile::sServiceFiles) {
        if (!writeFileWhole(dir + file.name, file.text)) {
            return -1;
        }
    }
    if (!writeFileWhole(dir + NSuiteProfile::sExportMacroName, NSuiteProfile::sExportMacroText) ||
        !writeProfileSeed(dir, settings.suiteProgram)) {
        return -1;
    }
    tSuiteEnvironmentInput input;
    input.workDir = dir;
    input.tempDir = dir + "tmp";
    std::vector<std::string> environment;
    for (const std::string& entry : buildSuiteEnvironment(environ, input)) {
        if (entry.compare(0, 4, "RRZ_") != 0) {
            environment.push_back(entry);
        }
    }
    std::vector<std::string> args = {sServicePython,
                                     "-E",
                                     "-s",
                                     "-B",
                                     dir + NSuiteProfile::sServiceFiles[0].name,
                                     dir,
                                     settings.suiteProgram,
                                     std::to_string(settings.serviceIdle),
                                     std::to_string(settings.suiteConversions),
                                     std::to_string(settings.suiteMemoryMiB)};
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(environment);
    const std::string logPath = dir + "service.log";

    // The intermediate child tells the service's pid through this pipe.
    int pidPipe[2];
    if (::pipe2(pidPipe, O_CLOEXEC) != 0) {
        return -1;
    }
    pid_t child = ::fork();
    if (child < 0) {
        int saved = errno;
        ::close(pidPipe[0]);
        ::close(pidPipe[1]);
        errno = saved;
        return -1;
    }
    if (child == 0) {
        // A session of its own, then a second fork so that the service is
        // neither a session leader nor the converter's child.
        if (::setsid() < 0) {
            ::_exit(1);
        }
        pid_t service = ::fork();
        if (service != 0) {
            bool told = service > 0 && writeAll(pidPipe[1], reinterpret_cast<const char*>(&service), sizeof service);
            ::_exit(told ? 0 : 1);
        }
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (::chdir(dir.c_str()) == 0 && redirect(logPath)) {
            ::execve(sServicePython, argv.data(), envp.data());
            const char* reason = std::strerror(errno);
            if (writeAll(2, sServicePython, std::strlen(sServicePython)) && writeAll(2, ": ", 2) &&
                writeAll(2, reason, std::strlen(reason))) {
                writeAll(2, "\n", 1);
            }
        }
        ::_exit(127);
    }
    ::close(pidPipe[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    pid_t service = -1;
    ssize_t got;
    do {
        got = ::read(pidPipe[0], &service, sizeof service);
    } while (got < 0 && errno == EINTR);
    ::close(pidPipe[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got != static_cast<ssize_t>(sizeof service)) {
        errno = ECHILD;
        return -1;
    }
    return service;
}

bool serviceProcessRuns(pid_t pid) {
    // Gone, or a zombie that its new parent has not reaped yet.
    tProcessStatus status;
    return readProcessStatus(pid, status) && status.state != 'Z';
}
