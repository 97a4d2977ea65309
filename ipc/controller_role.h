// The role of the browser's plug-in controller service: one process-wide
// text of at most 255 characters, "BrowserPluginCtrl" until library
// initialisation replaces it (from ROLEPLUGINCTRL). Every IPC adapter
// builds its controller proxy with the role current at its creation.
//
// setControllerRoleName is called during library initialisation, before
// any adapter exists; getControllerRoleName from any thread afterwards.
#pragma once

namespace NPluginsIPCCommunications {

const char* getControllerRoleName();
// Copies at most 255 characters; null is ignored.
void setControllerRoleName(const char* role);

}  // namespace NPluginsIPCCommunications
