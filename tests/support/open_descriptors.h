// The descriptors this process has open, by number, from /proc/self/fd
// (the one used to read the directory left out). Tests compare the set
// before and after a scenario to prove that nothing was left open.
#pragma once

#include <dirent.h>

#include <set>
#include <string>

namespace test_support {

inline std::set<std::string> openDescriptors() {
    std::set<std::string> fds;
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) return fds;
    std::string own = std::to_string(::dirfd(dir));
    while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != ".." && name != own) fds.insert(name);
    }
    ::closedir(dir);
    return fds;
}

}  // namespace test_support
