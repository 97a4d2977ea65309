#include "converter_program/type_detection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const unsigned char kCompoundMagic[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const unsigned char kZipMagic[] = {'P', 'K', 0x03, 0x04};

}  // namespace

eDocumentContainer detectContainer(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return eContainerUnreadable;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return eContainerUnreadable;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return eContainerUnreadable;
    }
    if (status.st_size == 0) {
        ::close(fd);
        return eContainerEmpty;
    }
    unsigned char head[sizeof kCompoundMagic] = {};
    std::size_t got = 0;
    while (got < sizeof head) {
        ssize_t n = ::read(fd, head + got, sizeof head - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return eContainerUnreadable;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got == sizeof kCompoundMagic && std::memcmp(head, kCompoundMagic, sizeof kCompoundMagic) == 0) {
        return eContainerCompound;
    }
    if (got >= sizeof kZipMagic && std::memcmp(head, kZipMagic, sizeof kZipMagic) == 0) {
        return eContainerZip;
    }
    return eContainerUnknown;
}

const char* containerName(eDocumentContainer container) {
    switch (container) {
        case eContainerUnreadable: return "unreadable";
        case eContainerEmpty: return "empty";
        case eContainerCompound: return "compound file";
        case eContainerZip: return "ZIP package";
        case eContainerUnknown: return "unknown";
    }
    return "unknown";
}
