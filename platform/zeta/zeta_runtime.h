// Where Zeta services live: socket naming and the runtime directory.
//
// A service with name S and role R listens on the Unix socket
//     <runtime directory>/S.R
// The runtime directory is the value of the environment variable
// QV_ZETA_RUNTIME_DIR when it is set and not empty, otherwise
// "/tmp/zeta-<uid>" with the real user id of the process. Tests point the
// variable at a private directory so that parallel processes never meet.
//
// Names and roles must be non-empty, must not contain '/' and must not
// start with '.'; the whole path must fit a sockaddr_un (107 characters).
// Every function may be called from any thread.
#pragma once

#include <string>

namespace Zeta {

std::string runtimeDirectory();

// The socket path of a service, or "" (with errno set to EINVAL or
// ENAMETOOLONG) when the name, the role or the length is not acceptable.
std::string servicePath(const std::string& service, const std::string& role);

// Creates the runtime directory (mode 0700) when it does not exist yet.
// False, with errno set, when it cannot be made.
bool ensureRuntimeDirectory();

// Whether a client may trust the services in the runtime directory: it is
// a directory (not a link to one) owned by this process's effective user
// and closed to everybody else (mode 0700). Otherwise false, with the
// reason in *problem.
bool isRuntimeDirectoryPrivate(std::string* problem);

}  // namespace Zeta
