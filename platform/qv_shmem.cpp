#include "platform/qv_shmem.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

std::size_t roundToPages(std::size_t size) {
    long page = sysconf(_SC_PAGESIZE);
    std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
    if (size == 0) {
        size = 1;
    }
    return (size + pageSize - 1) / pageSize * pageSize;
}

// Grows the object to size; never shrinks it, so a later opener that asks
// for less leaves the block of the others intact. Both the creator and every
// opener call this: ftruncate to the same size is idempotent.
bool ensureSize(int fd, std::size_t size) {
    struct stat st;
    if (fstat(fd, &st) != 0) {
        return false;
    }
    if (static_cast<std::size_t>(st.st_size) >= size) {
        return true;
    }
    return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

}  // namespace

CQVString CQVShMem::objectName(const char* name) {
    CQVString full("/");
    full.append(getenv("QV_SHM_PREFIX"));
    if (name != nullptr) {
        while (*name == '/') {
            ++name;
        }
    }
    full.append(name);
    return full;
}

CQVShMem::CQVShMem(const char* name, std::size_t size)
    : mName(objectName(name)), mSize(size), mMappedSize(0), mFd(-1), mAddress(nullptr) {}

CQVShMem::~CQVShMem() {
    if (mAddress != nullptr) {
        unmap();
    }
    if (mFd >= 0) {
        close(mFd);
    }
}

int CQVShMem::create(bool exclusive) {
    if (mFd >= 0) {
        close(mFd);
        mFd = -1;
    }
    const std::size_t objectSize = roundToPages(mSize);
    // The object may vanish between the two opens (remove() by a tool), so
    // try a few times before giving up.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = shm_open(mName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        int result = CREATED;
        if (fd < 0) {
            if (errno != EEXIST || exclusive) {
                return FAILED;
            }
            fd = shm_open(mName.c_str(), O_RDWR | O_CLOEXEC, 0);
            if (fd < 0) {
                if (errno == ENOENT) {
                    continue;
                }
                return FAILED;
            }
            result = EXISTED;
        }
        if (!ensureSize(fd, objectSize)) {
            int error = errno;
            close(fd);
            errno = error;
            return FAILED;
        }
        mFd = fd;
        return result;
    }
    return FAILED;
}

bool CQVShMem::map(int mode) {
    if (mFd < 0 || mAddress != nullptr || (mode != MAP_READ && mode != MAP_READ_WRITE)) {
        errno = EINVAL;
        return false;
    }
    struct stat st;
    if (fstat(mFd, &st) != 0) {
        return false;
    }
    // The object is at least as big as create() made it; map what is there.
    std::size_t length = static_cast<std::size_t>(st.st_size);
    if (length < mSize || length == 0) {
        errno = EINVAL;  // shrunk by someone else since create()
        return false;
    }
    int protection = mode == MAP_READ_WRITE ? PROT_READ | PROT_WRITE : PROT_READ;
    void* address = mmap(nullptr, length, protection, MAP_SHARED, mFd, 0);
    if (address == MAP_FAILED) {
        return false;
    }
    mAddress = address;
    mMappedSize = length;
    return true;
}

bool CQVShMem::unmap() {
    if (mAddress == nullptr) {
        errno = EINVAL;
        return false;
    }
    if (munmap(mAddress, mMappedSize) != 0) {
        return false;
    }
    mAddress = nullptr;
    mMappedSize = 0;
    return true;
}

bool CQVShMem::remove(const char* name) { return shm_unlink(objectName(name).c_str()) == 0; }
