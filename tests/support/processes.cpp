#include "tests/support/processes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "tests/support/files.h"

namespace test_support {

namespace {

// Names in dir other than "." and ".."; skip names the number of one
// descriptor to leave out.
std::set<std::string> namesIn(const char* dir, bool skipOwn) {
    std::set<std::string> names;
    DIR* handle = ::opendir(dir);
    if (handle == nullptr) return names;
    std::string own = skipOwn ? std::to_string(::dirfd(handle)) : "";
    while (struct dirent* entry = ::readdir(handle)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && name != own) names.insert(name);
    }
    ::closedir(handle);
    return names;
}

bool runs(pid_t pid, const std::string& exe, const std::string& program) {
    if (exe == program) return true;
    if (exe.compare(exe.rfind('/') + 1, 5, "qemu-") != 0) return false;
    std::string commandLine = readFile("/proc/" + std::to_string(pid) + "/cmdline");
    size_t first = commandLine.find('\0');
    return first != std::string::npos && commandLine.compare(first + 1, program.size() + 1, program + '\0') == 0;
}

}  // namespace

std::set<std::string> openDescriptors() { return namesIn("/proc/self/fd", true); }

size_t threadCount() { return namesIn("/proc/self/task", false).size(); }

bool hasNoChildren() {
    siginfo_t info;
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD;
}

bool groupIsGone(pid_t pgid) { return ::kill(-pgid, 0) != 0 && errno == ESRCH; }

std::vector<pid_t> processesOf(const std::string& program) {
    std::vector<pid_t> found;
    for (const std::string& name : namesIn("/proc", false)) {
        pid_t pid = static_cast<pid_t>(std::atoi(name.c_str()));
        if (pid <= 0) continue;
        char target[4096];
        ssize_t length = ::readlink(("/proc/" + name + "/exe").c_str(), target, sizeof(target) - 1);
        if (length <= 0) continue;
        target[length] = '\0';
        if (runs(pid, target, program)) found.push_back(pid);
    }
    return found;
}

std::vector<pid_t> processesUnder(const std::string& program, const std::string& tree) {
    std::vector<pid_t> found;
    for (pid_t pid : processesOf(program)) {
        if (readFile("/proc/" + std::to_string(pid) + "/cmdline").find(tree) != std::string::npos) {
            found.push_back(pid);
        }
    }
    return found;
}

}  // namespace test_support
