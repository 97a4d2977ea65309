// CZetaIPCAdapter: the controller transport of one plug-in instance. It is
// the OrcaBrowserPlugin proxy, runs it on a connection thread of its own
// (CZetaThread, started by the constructor, stopped by the destructor) and
// turns the proxy's callbacks into consumer callbacks.
//
// Requests: refused while the proxy is not on the connection (the consumer
// gets the matching answer with result 1 at once, on the calling thread,
// and the request answers 0); otherwise the proxy's result: -1 when the
// controller is not connected (nothing sent, no answer will come), 0 when
// queued for the connection thread, an errno value when that failed. No
// request waits for the controller: the connection thread sends them in
// order as the controller reads, dropping the oldest input events when it
// does not (COrcaBrowserPluginZetaProxy, CZetaChannel), and destroying the
// adapter gives what is still queued (a deregistration) a short last chance.
// Every request but the registration carries the instance id of the last
// register answer (0 before). The registration carries getBrowserPID();
// parameters too long for one message go with their largest values emptied
// (register_message_fit.h).
//
// Answers and connection events arrive on the connection thread and go to
// the consumer; without a consumer they are logged as "Consumer is missing".
// The configuration path is forwarded only when valid.
//
// Threads: construct and destroy on one thread (the browser's plug-in
// thread); requests from any thread. The consumer must outlive the adapter
// or be gone only after the adapter is destroyed: the destructor stops the
// connection thread before anything else, so no callback runs afterwards.
#pragma once

#include <atomic>
#include <mutex>

#include "ipc/ipc_transport_base.h"
#include "ipc/orca_browser_plugin_zeta_proxy.h"
#include "ipc/zeta_thread.h"

namespace NPluginsIPCCommunications {

class CZetaIPCAdapter : public CIPCTransportBase, public COrcaBrowserPluginZetaProxy {
public:
    explicit CZetaIPCAdapter(CIPCConsumerBase* consumer);
    ~CZetaIPCAdapter() override;

    bool addIPCClient(void* client) override;
    int requestButtonEvent(const Int32& button) override;
    int requestDataAvailableEvent(const CQVString& data) override;
    int requestDeregister() override;
    int requestKeyEvent(const Int32& key) override;
    int requestMouseEvent(const Int32& button, const Int32& x, const Int32& y) override;
    int requestRegister(const CQVString& description, const CQVString& mimeDescription,
                        const tParameterList& parameters) override;
    int requestSetWindow(const Int32& x, const Int32& y, const Int32& width, const Int32& height) override;
    void notifyOnConfigPath(bool enable) override;
    bool isConfigPathValid() const override;
    // The reference is to the calling thread's own copy of the path, valid
    // until the same thread calls again.
    const CQVString& getConfigPath() const override;

    void componentConnected() override;
    void componentDisconnected() override;
    void responseButtonEvent(OrcaBrowserPlugin::eResult result) override;
    void responseDataAvailableEvent(OrcaBrowserPlugin::eResult result) override;
    void responseDeregister(OrcaBrowserPlugin::eResult result) override;
    void responseKeyEvent(OrcaBrowserPlugin::eResult result) override;
    void responseMouseEvent(OrcaBrowserPlugin::eResult result) override;
    void responseRegister(UInt32 instanceId, OrcaBrowserPlugin::eResult result) override;
    void responseSetWindow(OrcaBrowserPlugin::eResult result) override;
    void onConfigPathUpdate(const CQVString& configPath, Zeta::DataStateType state) override;

    // QV_BROWSER_ID when set and not empty (as a decimal number; text that
    // does not start with one gives 0, values beyond Int32 are clamped),
    // otherwise this process's id.
    Int32 getBrowserPID() const;

    UInt32 getInstanceId() const { return mInstanceId.load(); }
    bool isProxyAdded() const { return mProxyAdded.load(); }

private:
    std::atomic<UInt32> mInstanceId;
    CZetaThread* mThread;
    std::mutex mMutex;  // one registration request on the wire at a time
    std::atomic<bool> mProxyAdded;
};

}  // namespace NPluginsIPCCommunications
