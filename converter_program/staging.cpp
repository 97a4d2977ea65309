#include "converter_program/staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace NStaging {

namespace {

bool isDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The names in dir, without "." and "..".
bool listNames(const std::string& dir, std::vector<std::string>& names) {
    DIR* handle = ::opendir(dir.c_str());
    if (handle == nullptr) {
        return false;
    }
    errno = 0;
    while (struct dirent* entry = ::readdir(handle)) {
        if (!isDotOrDotDot(entry->d_name)) {
            names.push_back(entry->d_name);
        }
        errno = 0;
    }
    int saved = errno;
    ::closedir(handle);
    errno = saved;
    return saved == 0;
}

std::string join(const std::string& dir, const std::string& name) {
    return (!dir.empty() && dir.back() == '/') ? dir + name : dir + "/" + name;
}

}  // namespace

bool makeWorkDir(const std::string& parent, std::string& path) {
    std::string pattern = parent + ".convert-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) {
        return false;
    }
    path = std::string(buffer.data()) + "/";
    return true;
}

bool treeSize(const std::string& dir, unsigned long long& size) {
    std::vector<std::string> names;
    if (!listNames(dir, names)) {
        return false;
    }
    for (const std::string& name : names) {
        std::string path = join(dir, name);
        struct stat status;
        if (::lstat(path.c_str(), &status) != 0) {
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            treeSize(path, size);
        } else {
            size += static_cast<unsigned long long>(status.st_size);
        }
    }
    return true;
}

bool moveContents(const std::string& from, const std::string& to, std::string& failedEntry) {
    std::vector<std::string> names;
    if (!listNames(from, names)) {
        failedEntry = from;
        return false;
    }
    for (const std::string& name : names) {
        std::string target = join(to, name);
        struct stat status;
        // rename(2) will not replace a directory that has content.
        if (::lstat(target.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            removeTree(target);
        }
        if (::rename(join(from, name).c_str(), target.c_str()) != 0) {
            failedEntry = name;
            return false;
        }
    }
    return true;
}

bool removeTree(const std::string& path) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0) {
        return errno == ENOENT;
    }
    if (!S_ISDIR(status.st_mode)) {
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    }
    std::vector<std::string> names;
    bool ok = listNames(path, names);
    for (const std::string& name : names) {
        ok = removeTree(join(path, name)) && ok;
    }
    int saved = errno;
    if (::rmdir(path.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    errno = saved;
    return ok;
}

}  // namespace NStaging
