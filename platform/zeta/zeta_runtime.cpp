#include "platform/zeta/zeta_runtime.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Zeta {

namespace {
bool acceptableName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}
}  // namespace

std::string runtimeDirectory() {
    const char* fromEnvironment = std::getenv("QV_ZETA_RUNTIME_DIR");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') {
        return fromEnvironment;
    }
    return "/tmp/zeta-" + std::to_string(static_cast<unsigned long>(getuid()));
}

std::string servicePath(const std::string& service, const std::string& role) {
    if (!acceptableName(service) || !acceptableName(role)) {
        errno = EINVAL;
        return "";
    }
    std::string path = runtimeDirectory() + "/" + service + "." + role;
    if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        errno = ENAMETOOLONG;
        return "";
    }
    return path;
}

bool ensureRuntimeDirectory() {
    std::string directory = runtimeDirectory();
    if (mkdir(directory.c_str(), 0700) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    struct stat status;
    if (stat(directory.c_str(), &status) != 0) {
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

bool isRuntimeDirectoryPrivate(std::string* problem) {
    const std::string directory = runtimeDirectory();
    struct stat status;
    char text[160];
    if (lstat(directory.c_str(), &status) != 0) {
        std::snprintf(text, sizeof(text), "%s", strerror(errno));
    } else if (!S_ISDIR(status.st_mode)) {
        std::snprintf(text, sizeof(text), "not a directory");
    } else if (status.st_uid != geteuid()) {
        std::snprintf(text, sizeof(text), "owned by user %lu, not %lu", static_cast<unsigned long>(status.st_uid),
                      static_cast<unsigned long>(geteuid()));
    } else if ((status.st_mode & 07777) != 0700) {
        std::snprintf(text, sizeof(text), "mode %04o, not 0700", static_cast<unsigned>(status.st_mode & 07777));
    } else {
        return true;
    }
    *problem = directory + ": " + text;
    return false;
}

}  // namespace Zeta
