#include "platform/qv_file_operations.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

QVFileOperations::ISyncObserver* gSyncObserver = nullptr;

void observe(QVFileOperations::ISyncObserver::Step step, int fd, const char* path, const char* to) {
    if (gSyncObserver != nullptr) {
        gSyncObserver->beforeStep(step, fd, path, to);
    }
}

// Keeps the first error of a sequence of attempts.
struct FirstError {
    int value = 0;
    void note(int error) {
        if (value == 0) {
            value = error;
        }
    }
};

// Empties the directory open as dirFd (which this call closes), working
// relative to descriptors so that a name swapped for a symbolic link while
// we work is removed as a link, never followed.
void removeContents(int dirFd, FirstError& error) {
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        error.note(errno);
        close(dirFd);
        return;
    }
    // Removing names while reading a directory stream may make the stream
    // skip others, so read again until a pass removes nothing; names that
    // cannot be removed end that, their failure already noted.
    bool removedAny = true;
    while (removedAny) {
        removedAny = false;
        rewinddir(dir);
        for (;;) {
            errno = 0;
            struct dirent* entry = readdir(dir);
            if (entry == nullptr) {
                if (errno != 0) {
                    error.note(errno);
                }
                break;
            }
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
                continue;
            }
            if (unlinkat(dirFd, name, 0) == 0) {
                removedAny = true;
                continue;
            }
            // Linux answers EISDIR for a directory, POSIX allows EPERM.
            if (errno != EISDIR && errno != EPERM) {
                error.note(errno);
                continue;
            }
            int childFd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (childFd < 0) {
                error.note(errno);
                continue;
            }
            removeContents(childFd, error);
            if (unlinkat(dirFd, name, AT_REMOVEDIR) == 0) {
                removedAny = true;
            } else {
                error.note(errno);
            }
        }
    }
    closedir(dir);
}

}  // namespace

namespace QVFileOperations {

bool getFileStatus(const char* path, CQVFileStatus& status) {
    struct stat st;
    if (lstat(path, &st) != 0) {
        return false;
    }
    status.set(static_cast<UInt32>(st.st_mode), static_cast<UInt64>(st.st_size));
    return true;
}

bool makeDirRecursive(const char* path, UInt32 mode) {
    if (path == nullptr || *path == '\0') {
        errno = ENOENT;
        return false;
    }
    std::string current(path);
    // "a/b/" names the directory "a/b".
    while (current.size() > 1 && current.back() == '/') {
        current.pop_back();
    }
    // Create each missing parent in turn; an existing one is fine.
    for (size_t slash = current.find('/', 1); slash != std::string::npos;
         slash = current.find('/', slash + 1)) {
        if (current[slash - 1] == '/') {
            continue;
        }
        current[slash] = '\0';
        if (mkdir(current.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
            return false;
        }
        current[slash] = '/';
    }
    return mkdir(current.c_str(), static_cast<mode_t>(mode)) == 0;
}

bool recursiveRemove(const char* path) {
    if (path == nullptr) {
        errno = EINVAL;
        return false;
    }
    if (unlink(path) == 0) {
        return true;
    }
    if (errno != EISDIR && errno != EPERM) {
        return false;
    }
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    FirstError error;
    removeContents(fd, error);
    if (rmdir(path) != 0) {
        error.note(errno);
    }
    if (error.value != 0) {
        errno = error.value;
        return false;
    }
    return true;
}

bool rename(const char* from, const char* to) {
    observe(ISyncObserver::RENAME, -1, from, to);
    return std::rename(from, to) == 0;
}

bool syncFile(int fd) {
    observe(ISyncObserver::SYNC_FILE, fd, nullptr, nullptr);
    return fsync(fd) == 0;
}

bool syncDirectory(const char* path) {
    observe(ISyncObserver::SYNC_DIRECTORY, -1, path, nullptr);
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool synced = fsync(fd) == 0;
    int error = errno;
    close(fd);
    errno = error;
    return synced;
}

void setSyncObserver(ISyncObserver* observer) { gSyncObserver = observer; }

}  // namespace QVFileOperations
