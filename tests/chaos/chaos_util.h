// Helpers of the chaos and leak tests: temporary trees, files, processes of
// a given program, and a lock probe with a time limit.
#pragma once

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace chaos {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out);
}

inline bool exists(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

inline std::string makeTempDir(const char* stem) {
    std::string pattern = std::string("/tmp/") + stem + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const char* made = ::mkdtemp(buffer.data());
    return made != nullptr ? made : "";
}

inline void removeTree(const std::string& path) {
    if (path.empty()) return;
    std::string command = "rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", path.c_str());
}

// Whether a process whose executable is `exe` runs `program`: directly, or
// under user-mode emulation (binfmt_misc starts the emulator, qemu-<cpu>,
// with the program as its first argument).
inline bool runs(pid_t pid, const std::string& exe, const std::string& program) {
    if (exe == program) return true;
    if (exe.compare(exe.rfind('/') + 1, 5, "qemu-") != 0) return false;
    std::string commandLine = readFile("/proc/" + std::to_string(pid) + "/cmdline");
    size_t first = commandLine.find('\0');
    return first != std::string::npos && commandLine.compare(first + 1, program.size() + 1, program + '\0') == 0;
}

// Processes on the machine whose executable is `program` (an absolute path).
inline std::vector<pid_t> processesOf(const std::string& program) {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return found;
    while (struct dirent* entry = ::readdir(proc)) {
        pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        char target[4096];
        std::string link = "/proc/" + std::string(entry->d_name) + "/exe";
        ssize_t length = ::readlink(link.c_str(), target, sizeof(target) - 1);
        if (length <= 0) continue;
        target[length] = '\0';
        if (runs(pid, target, program)) found.push_back(pid);
    }
    ::closedir(proc);
    return found;
}

// The converter stand-in's processes whose command line names a path under
// `tree`: the ones a test started, not those of tests running beside it.
inline std::vector<pid_t> convertersUnder(const std::string& program, const std::string& tree) {
    std::vector<pid_t> found;
    for (pid_t pid : processesOf(program)) {
        std::string commandLine = readFile("/proc/" + std::to_string(pid) + "/cmdline");
        if (commandLine.find(tree) != std::string::npos) found.push_back(pid);
    }
    return found;
}

template <typename Predicate>
bool eventually(Predicate predicate, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (predicate()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return predicate();
}

}  // namespace chaos
