#include "ipc/controller_role.h"

#include <cstring>

namespace NPluginsIPCCommunications {

namespace {
char gRoleName[256] = "BrowserPluginCtrl";
}

const char* getControllerRoleName() { return gRoleName; }

void setControllerRoleName(const char* role) {
    if (role == nullptr) return;
    std::strncpy(gRoleName, role, sizeof(gRoleName) - 1);
    gRoleName[sizeof(gRoleName) - 1] = '\0';
}

}  // namespace NPluginsIPCCommunications
