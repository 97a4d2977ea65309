#include "bench/bench_support.h"

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace bench {

namespace {

double clockSeconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path) == 0 ? 0 : -1; }

// Points fd at path (created or truncated); in the child only.
bool redirect(int fd, const std::string& path) {
    int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0) return false;
    bool ok = ::dup2(file, fd) >= 0;
    ::close(file);
    return ok;
}

}  // namespace

double monotonicSeconds() { return clockSeconds(CLOCK_MONOTONIC); }

double processCpuSeconds() { return clockSeconds(CLOCK_PROCESS_CPUTIME_ID); }

double threadCpuSeconds() { return clockSeconds(CLOCK_THREAD_CPUTIME_ID); }

std::string makeTempDir(const std::string& tag) {
    std::string pattern = "/tmp/" + tag + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        std::fprintf(stderr, "mkdtemp %s: %s\n", pattern.c_str(), std::strerror(errno));
        return "";
    }
    return buffer.data();
}

bool removeTree(const std::string& path) {
    if (::nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) != 0 && errno != ENOENT) {
        std::fprintf(stderr, "cannot remove %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

std::string pseudoRandomBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned x = seed == 0 ? 0x12345678u : seed;
    for (char& byte : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<char>(x & 0xFF);
    }
    return bytes;
}

long statusFieldKiB(const std::string& statusText, const std::string& field) {
    std::istringstream lines(statusText);
    std::string line;
    const std::string prefix = field + ":";
    while (std::getline(lines, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0) continue;
        char* end = nullptr;
        const char* digits = line.c_str() + prefix.size();
        errno = 0;
        long value = std::strtol(digits, &end, 10);
        if (end == digits || errno != 0 || value < 0) return -1;
        while (*end == ' ' || *end == '\t') ++end;
        return std::strcmp(end, "kB") == 0 ? value : -1;
    }
    return -1;
}

long peakResidentKiB() { return statusFieldKiB(readFile("/proc/self/status"), "VmHWM"); }

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

ChildRun runProgram(const std::vector<std::string>& argv, const Environment& extra, const std::string& outputPath,
                    const std::string& errorPath) {
    ChildRun run;
    if (argv.empty()) return run;
    // Everything the child needs is built before fork: only async-signal-safe
    // calls happen between fork and exec.
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::string name = text.substr(0, text.find('='));
        bool replaced = std::any_of(extra.begin(), extra.end(),
                                    [&](const std::pair<std::string, std::string>& e) { return e.first == name; });
        if (!replaced) environment.push_back(text);
    }
    for (const auto& entry : extra) environment.push_back(entry.first + "=" + entry.second);
    std::vector<char*> envp;
    for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    std::fflush(nullptr);
    double start = monotonicSeconds();
    pid_t child = ::fork();
    if (child < 0) {
        std::fprintf(stderr, "fork: %s\n", std::strerror(errno));
        return run;
    }
    if (child == 0) {
        if ((!outputPath.empty() && !redirect(STDOUT_FILENO, outputPath)) ||
            (!errorPath.empty() && !redirect(STDERR_FILENO, errorPath))) {
            ::_exit(126);
        }
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage;
    std::memset(&usage, 0, sizeof(usage));
    pid_t done;
    do {
        done = ::wait4(child, &status, 0, &usage);
    } while (done < 0 && errno == EINTR);
    run.seconds = monotonicSeconds() - start;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (done == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

void printResult(const std::string& key, double value, const std::string& unit) {
    std::printf("result %s %.6g %s\n", key.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

}  // namespace bench
