#include "tests/support/processes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace

std::set<std::string> openDescriptors() { return namesIn("/proc/self/fd", true); }

size_t threadCount() { return namesIn("/proc/self/task", false).size(); }

bool hasNoChildren() {
    siginfo_t info;
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD;
}

bool groupIsGone(pid_t pgid) { return ::kill(-pgid, 0) != 0 && errno == ESRCH; }

}  // namespace test_support
