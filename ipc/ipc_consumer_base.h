// CIPCConsumerBase: receives the plug-in controller's answers and the
// connection events. Callbacks arrive on the middleware connection thread,
// or, for a request that could not be sent, at once on the requesting
// thread. Every default body only logs its signature.
#pragma once

#include "ipc/ipc_types.h"

namespace NPluginsIPCCommunications {

class CIPCConsumerBase {
public:
    virtual void responseButtonEvent(eResult result);
    virtual void responseDataAvailableEvent(eResult result);
    virtual void responseDeregister(eResult result);
    virtual void responseKeyEvent(eResult result);
    virtual void responseMouseEvent(eResult result);
    // Every consumer implements it; the base body is there for overriders.
    virtual void responseRegister(eResult result) = 0;
    virtual void responseSetWindow(eResult result);
    virtual void componentConnected();
    virtual void componentDisconnected();
    virtual void onConfigPathUpdate(const CQVString& configPath);
    virtual ~CIPCConsumerBase();
};

}  // namespace NPluginsIPCCommunications
