// CIPCTransportBase: carries a plug-in instance's requests to the browser's
// plug-in controller. The answer to each request arrives through the
// matching consumer callback. The int result of a request only says whether
// it was handed on; callers do not rely on it. The default bodies accept
// every request with 0 and never call back.
#pragma once

#include "ipc/ipc_consumer_base.h"

namespace NPluginsIPCCommunications {

class CIPCTransportBase {
public:
    // consumer may be null; it is not owned.
    explicit CIPCTransportBase(CIPCConsumerBase* consumer);
    virtual ~CIPCTransportBase();

    virtual bool addIPCClient(void* client);
    virtual int requestButtonEvent(const Int32& button);
    virtual int requestDataAvailableEvent(const CQVString& data);
    virtual int requestDeregister();
    virtual int requestKeyEvent(const Int32& key);
    virtual int requestMouseEvent(const Int32& button, const Int32& x, const Int32& y);
    virtual int requestRegister(const CQVString& description, const CQVString& mimeDescription,
                                const tParameterList& parameters);
    virtual int requestSetWindow(const Int32& x, const Int32& y, const Int32& width, const Int32& height);
    virtual void notifyOnConfigPath(bool enable);
    virtual bool isConfigPathValid() const;
    virtual const CQVString& getConfigPath() const;

protected:
    CIPCConsumerBase* mConsumer;
};

}  // namespace NPluginsIPCCommunications
