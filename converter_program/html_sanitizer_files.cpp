#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "converter_program/html_sanitizer.h"

namespace NHtmlSanitizer {

namespace {

bool readFile(const std::string& path, std::string& text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return ::close(fd) == 0;
}

bool writeFile(const std::string& path, const std::string& text, mode_t mode) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0;
}

bool isMarkupName(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) {
        return false;
    }
    static const char* const kExtensions[] = {".html", ".htm", ".xhtml", ".svg"};
    for (const char* extension : kExtensions) {
        if (::strcasecmp(dot, extension) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool sanitizeFile(const std::string& path, unsigned& removed) {
    removed = 0;
    std::string text;
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !readFile(path, text)) {
        return false;
    }
    std::string clean = sanitize(text, removed);
    if (clean == text) {
        return true;
    }
    std::string temporary = path + ".clean";
    if (!writeFile(temporary, clean, status.st_mode & 0777) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return false;
    }
    return true;
}

bool sanitizeTree(const std::string& dir, unsigned& removed, std::string& failedPath) {
    DIR* handle = ::opendir(dir.c_str());
    if (handle == nullptr) {
        failedPath = dir;
        return false;
    }
    std::vector<std::string> names;
    while (struct dirent* entry = ::readdir(handle)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.push_back(entry->d_name);
        }
    }
    ::closedir(handle);
    for (const std::string& name : names) {
        std::string path = dir + (dir.back() == '/' ? "" : "/") + name;
        struct stat status;
        if (::lstat(path.c_str(), &status) != 0) {
            failedPath = path;
            return false;
        }
        unsigned count = 0;
        if (S_ISDIR(status.st_mode)) {
            if (!sanitizeTree(path, count, failedPath)) {
                return false;
            }
        } else if (S_ISREG(status.st_mode) && isMarkupName(name.c_str())) {
            if (!sanitizeFile(path, count)) {
                failedPath = path;
                return false;
            }
        }
        removed += count;
    }
    return true;
}

}  // namespace NHtmlSanitizer
