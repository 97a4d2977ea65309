// Checks on this process and the others of the machine, read from /proc:
// what a test left open, running or unreaped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

// The descriptors this process has open, by number (the one used to read
// /proc/self/fd left out). Compare the set before and after a scenario.
std::set<std::string> openDescriptors();
// The threads of this process.
size_t threadCount();
// True when this process has no child at all, neither running nor a zombie.
bool hasNoChildren();
// True when no process is left in the process group pgid.
bool groupIsGone(pid_t pgid);
// The processes running program (directly, or under user-mode emulation)
// whose command line names a path under tree.
std::vector<int> processesUnder(const std::string& program, const std::string& tree);

// Polls predicate every 5 ms until it holds or timeoutMs have passed; the
// result is the last answer. Deadlines are generous: they only bound a
// failing test.
template <typename Predicate>
bool eventually(Predicate predicate, int timeoutMs = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (predicate()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return predicate();
}

}  // namespace test_support
