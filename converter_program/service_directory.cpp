#include "converter_program/service_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace NServiceDirectory {

bool prepare(const std::string& dir, std::string& reason) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = "can't create " + dir + ": " + std::strerror(errno);
        return false;
    }
    struct stat status;
    if (::lstat(dir.c_str(), &status) != 0) {
        reason = "can't examine " + dir + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::getuid() || (status.st_mode & 077) != 0) {
        reason = dir + " is not a private directory of this user";
        return false;
    }
    return true;
}

}  // namespace NServiceDirectory
