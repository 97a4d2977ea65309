// COrcaBrowserPluginZetaProxy: the plug-in side of OrcaBrowserPlugin 1.0 on
// a Zeta client. Each request builds and sends one message; each received
// message becomes one virtual callback. Every callback does nothing here;
// derived classes override what they need.
//
// Requests (any thread; each builds its own stream and never waits) answer
// -1 without sending when the client is not connected, otherwise the
// stream's status after post(): 0 when queued for the connection thread,
// which sends the messages in the order they were posted, else an errno
// value (logged). Key, mouse and button requests are input events, which
// the link drops, oldest first, when the controller does not read
// (CZetaChannel); the others are never dropped.
//
// processResponse() runs on the connection thread (or on whatever thread a
// test drives it from, with any byte buffer wrapped in a CZetaIStream):
//   type code 513             responseInvalid(update id), nothing read
//   ids 0..6                  the request's ...Failed(type code)
//   0x80000000                responseRegister(instance id, result)
//   0x80000001..0x80000006    the matching response...(result)
//   0xC0000000                with type code 514: the path is read, state 2,
//                             onConfigPathUpdate(path, 2); any other type
//                             code: state 1, onConfigPathUpdate(old path, 1)
//   anything else             ignored, as is a stream whose header was bad
// An answer shorter than its fields is dropped without a callback. A
// configuration path cut short leaves the path empty and the state 1
// (invalid), without a callback: a path that did not arrive whole is never
// reported as valid.
//
// The configuration path and its state are written on the connection thread
// and may be read from any thread through getConfigPathCopy() and
// getConfigPathState().
#pragma once

#include <atomic>
#include <mutex>

#include "ipc/orca_browser_plugin.h"
#include "platform/qv_vector.h"
#include "platform/zeta/zeta_client.h"
#include "platform/zeta/zeta_ostream.h"
#include "platform/zeta/zeta_types.h"

class COrcaBrowserPluginZetaProxy : public CZetaClient {
public:
    explicit COrcaBrowserPluginZetaProxy(const char* role);
    ~COrcaBrowserPluginZetaProxy() override;

    const char* getUpdateIDString(unsigned int id) override;
    void componentConnected() override = 0;
    void componentDisconnected() override = 0;
    void processInternalEvent(int event, void* data) override;
    void processResponse(CZetaIStream& in) override;

    virtual void onConfigPathUpdate(const CQVString& path, Zeta::DataStateType state);
    virtual int requestRegister(const CQVString& description, const CQVString& mimeDescription,
                                const TQVVector<OrcaBrowserPlugin::tNameValuePair>& parameters, int browserId);
    virtual void requestRegisterFailed(Zeta::ResultType type);
    virtual int requestSetWindow(unsigned int instanceId, int x, int y, int width, int height);
    virtual void requestSetWindowFailed(Zeta::ResultType type);
    virtual int requestKeyEvent(unsigned int instanceId, int key);
    virtual void requestKeyEventFailed(Zeta::ResultType type);
    virtual int requestMouseEvent(unsigned int instanceId, int button, int x, int y);
    virtual void requestMouseEventFailed(Zeta::ResultType type);
    virtual int requestButtonEvent(unsigned int instanceId, int button);
    virtual void requestButtonEventFailed(Zeta::ResultType type);
    virtual int requestDataAvailableEvent(unsigned int instanceId, const CQVString& data);
    virtual void requestDataAvailableEventFailed(Zeta::ResultType type);
    virtual int requestDeregister(unsigned int instanceId);
    virtual void requestDeregisterFailed(Zeta::ResultType type);
    virtual void responseInvalid(OrcaBrowserPlugin::UpdateIdEnum id);
    virtual void responseRegister(unsigned int instanceId, OrcaBrowserPlugin::eResult result);
    virtual void responseSetWindow(OrcaBrowserPlugin::eResult result);
    virtual void responseKeyEvent(OrcaBrowserPlugin::eResult result);
    virtual void responseMouseEvent(OrcaBrowserPlugin::eResult result);
    virtual void responseButtonEvent(OrcaBrowserPlugin::eResult result);
    virtual void responseDeregister(OrcaBrowserPlugin::eResult result);
    virtual void responseDataAvailableEvent(OrcaBrowserPlugin::eResult result);

    // true subscribes to the configuration path notification, false drops it.
    void notifyOnConfigPath(bool enable);
    // Internal events (code 103) on the client's connection; nothing without
    // one.
    void postInternalEvent(int event, void* data);
    void sendInternalEvent(int event, void* data);
    void readErrorEnumerator(CZetaIStream& in);

    CQVString getConfigPathCopy() const;
    Zeta::DataStateType getConfigPathState() const { return mConfigPathState.load(); }

private:
    CZetaOStream newRequest(OrcaBrowserPlugin::UpdateIdEnum id);
    int finish(CZetaOStream& out, bool discardable);
    void handleConfigPath(CZetaIStream& in);

    CQVString mConfigPath;
    std::atomic<Zeta::DataStateType> mConfigPathState;
    mutable std::mutex mConfigPathMutex;
};
