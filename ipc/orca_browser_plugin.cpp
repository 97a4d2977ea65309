#include "ipc/orca_browser_plugin.h"

namespace OrcaBrowserPlugin {

const char* const SERVICE_NAME = "OrcaBrowserPlugin";

const char* toString(UpdateIdEnum id) {
    switch (id) {
        case UPD_ID_requestRegister: return "UPD_ID_requestRegister";
        case UPD_ID_requestSetWindow: return "UPD_ID_requestSetWindow";
        case UPD_ID_requestKeyEvent: return "UPD_ID_requestKeyEvent";
        case UPD_ID_requestMouseEvent: return "UPD_ID_requestMouseEvent";
        case UPD_ID_requestButtonEvent: return "UPD_ID_requestButtonEvent";
        case UPD_ID_requestDataAvailableEvent: return "UPD_ID_requestDataAvailableEvent";
        case UPD_ID_requestDeregister: return "UPD_ID_requestDeregister";
        case UPD_ID_responseRegister: return "UPD_ID_responseRegister";
        case UPD_ID_responseSetWindow: return "UPD_ID_responseSetWindow";
        case UPD_ID_responseKeyEvent: return "UPD_ID_responseKeyEvent";
        case UPD_ID_responseMouseEvent: return "UPD_ID_responseMouseEvent";
        case UPD_ID_responseButtonEvent: return "UPD_ID_responseButtonEvent";
        case UPD_ID_responseDeregister: return "UPD_ID_responseDeregister";
        case UPD_ID_responseDataAvailableEvent: return "UPD_ID_responseDataAvailableEvent";
        case UPD_ID_ConfigPath: return "UPD_ID_ConfigPath";
        case UPD_ID_implVersion: return "UPD_ID_implVersion";
        default: return "UPD_ID_NOP";
    }
}

UpdateIdEnum responseIdFor(UInt32 requestId) {
    switch (requestId) {
        case UPD_ID_requestRegister: return UPD_ID_responseRegister;
        case UPD_ID_requestSetWindow: return UPD_ID_responseSetWindow;
        case UPD_ID_requestKeyEvent: return UPD_ID_responseKeyEvent;
        case UPD_ID_requestMouseEvent: return UPD_ID_responseMouseEvent;
        case UPD_ID_requestButtonEvent: return UPD_ID_responseButtonEvent;
        case UPD_ID_requestDataAvailableEvent: return UPD_ID_responseDataAvailableEvent;
        case UPD_ID_requestDeregister: return UPD_ID_responseDeregister;
        default: return UPD_ID_NOP;
    }
}

}  // namespace OrcaBrowserPlugin
