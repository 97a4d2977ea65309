#include "tests/support/processes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

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

}  // namespace

std::set<std::string> openDescriptors() { return namesIn("/proc/self/fd", true); }

size_t threadCount() { return namesIn("/proc/self/task", false).size(); }

bool hasNoChildren() {
    siginfo_t info;
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0 && errno == ECHILD;
}

bool groupIsGone(pid_t pgid) { return ::kill(-pgid, 0) != 0 && errno == ESRCH; }

std::vector<int> processesUnder(const std::string& program, const std::string& tree) {
    // Under emulation binfmt_misc starts qemu-<cpu> with the program as its first argument.
    std::vector<int> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        int pid = std::atoi(entry.path().filename().c_str());
        char target[4096];
        ssize_t length = pid > 0 ? ::readlink((entry.path() / "exe").c_str(), target, sizeof(target) - 1) : -1;
        if (length <= 0) continue;
        std::string exe(target, static_cast<size_t>(length));
        std::string commandLine = readFile(entry.path() / "cmdline");
        size_t first = commandLine.find('\0');
        bool emulated = exe.compare(exe.rfind('/') + 1, 5, "qemu-") == 0 && first != std::string::npos &&
                        commandLine.compare(first + 1, program.size() + 1, program + '\0') == 0;
        if ((exe == program || emulated) && commandLine.find(tree) != std::string::npos) found.push_back(pid);
    }
    return found;
}

}  // namespace test_support
