#include "platform/safe_dir.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

DIR* tamarix_qnx_safe_opendir(const char* path) { return opendir(path); }

int tamarix_qnx_safe_readdir_r(DIR* dir, struct dirent* entry, struct dirent** result) {
    *result = nullptr;
    if (dir == nullptr || entry == nullptr) {
        errno = EBADF;
        return EBADF;
    }
    errno = 0;
    struct dirent* next = readdir(dir);
    if (next == nullptr) {
        return errno;  // 0 at the end
    }
    // Copy only up to the name's terminator: the caller's buffer may be
    // smaller than sizeof(dirent) where NAME_MAX is small.
    size_t bytes = offsetof(struct dirent, d_name) + std::strlen(next->d_name) + 1;
    std::memcpy(entry, next, bytes);
    *result = entry;
    return 0;
}

int tamarix_qnx_safe_closedir(DIR* dir) { return dir == nullptr ? 0 : closedir(dir); }
