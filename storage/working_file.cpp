#include "storage/working_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace NWorkingFile {

int createClaimed(const char* path) {
    // The eviction pass may find the file between its creation and the
    // claim, take it for abandoned and remove it; the name is then free
    // again and a second try gets it.
    for (int attempt = 0; attempt < 5; ++attempt) {
        int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST && attempt > 0) {
            ::usleep(1000);  // the pass holds our first file and is removing it
            continue;
        }
        if (fd < 0) {
            return -1;
        }
        struct stat opened;
        struct stat named;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 && ::stat(path, &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
            return fd;
        }
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

bool removeUnclaimed(const char* path) {
    int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path) == 0;
    int error = errno;
    ::close(fd);
    errno = error;
    return removed;
}

}  // namespace NWorkingFile
