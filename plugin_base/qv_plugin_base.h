// _CQVPluginBase: the base of every plug-in instance object.
//
// The entry layer creates one object per browser instance through the
// concrete plug-in's factory and forwards each browser call to one of the
// virtual operations below. The base takes over the creation parameters,
// keeps the window record, answers every NPAPI call harmlessly, decodes the
// host's event records into the on* hooks, writes the saved session data,
// and owns the transport to the browser's plug-in controller, with which it
// registers the instance.
//
// Threads: every NPAPI operation and hook runs on the browser's plug-in
// thread. componentConnected, componentDisconnected and responseRegister run
// on the controller connection thread; the registration flags they share
// with the plug-in thread are atomic, and registerPlugin() runs under
// mRegisterMutex so a registration is sent exactly once.
//
// A derived class implements onInit() and onCleanup() and overrides what it
// needs. The order of the virtual operations is part of the contract.
#pragma once

#include <atomic>
#include <mutex>

#include "ipc/ipc_consumer_base.h"
#include "ipc/ipc_transport_base.h"
#include "plugin_base/mouse_event_type.h"
#include "plugin_base/npapi.h"
#include "plugin_base/papi_events.h"
#include "plugin_base/plugin_create_data.h"
#include "plugin_base/plugin_rect.h"
#include "platform/qv_string.h"
#include "platform/qv_types.h"

class _CQVPluginBase : public NPluginsIPCCommunications::CIPCConsumerBase {
public:
    typedef NPluginMouse::eMouseEventType eMouseEventType;

    // (host mouse type, eMouseEventType) pairs, closed by (-1, -1).
    static const Int32 sMouseEventTranslateTable[][2];

    _CQVPluginBase();

    // Controller callbacks (connection thread).
    void responseRegister(NPluginsIPCCommunications::eResult result) override;
    void componentConnected() override;
    void componentDisconnected() override;
    ~_CQVPluginBase() override;

    virtual NPBool init(NPWindow* window);
    virtual void shut(NPSavedData** save);
    virtual void shut();
    virtual NPBool isInitialized();
    virtual NPError SetWindow(NPWindow* window);
    virtual uint16_t HandleEvent(void* event);
    virtual NPError NewStream(NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype);
    virtual NPError DestroyStream(NPStream* stream, NPReason reason);
    virtual void StreamAsFile(NPStream* stream, const char* fname);
    virtual int32_t WriteReady(NPStream* stream);
    virtual int32_t Write(NPStream* stream, int32_t offset, int32_t len, void* buffer);
    virtual void URLNotify(const char* url, NPReason reason, void* notifyData);
    virtual void Print(NPPrint* printInfo);
    virtual NPError GetValue(NPPVariable variable, void* value);
    virtual NPError SetValue(NPNVariable variable, void* value);
    virtual NPObject* GetScriptableObject();
    virtual NPBool GotFocus(NPFocusDirection direction);
    virtual void LostFocus();
    virtual void URLRedirectNotify(const char* url, int32_t status, void* notifyData);
    virtual NPError ClearSiteData(const char* site, uint64_t flags, uint64_t maxAge);
    virtual char** GetSitesWithData();
    // Sets up the concrete plug-in; called by init. Its result is not used.
    virtual bool onInit() = 0;
    virtual bool onSetWindow(CPluginRect& windowRect, CPluginRect& clipRect);
    virtual bool onDraw(CPluginRect& parent, CPluginRect& plugin, CPluginRect& clip, CPluginRect& draw);
    virtual bool onDraw(void* surface, CPluginRect& parent, CPluginRect& plugin, CPluginRect& clip,
                        CPluginRect& draw);
    virtual bool onKey(Int32 key);
    virtual bool onKey(Int32 modifiers, Int32 cap, Int32 sym, Int32 scan, Int32 flags);
    virtual bool onZoom(zoom_event_type type, double factor);
    virtual bool onScroll(scroll_event_type type, Int32 x, Int32 y);
    virtual bool onMouse(eMouseEventType type, Int16 x, Int16 y, UInt16 button, UInt16 flags);
    // Releases what onInit set up; called once per shut.
    virtual void onCleanup() = 0;
    virtual void disableOpenGlSimu();
    virtual void setParam(nsPluginCreateData* data);
    // Hook for derived classes, called at the end of the first setParam.
    virtual void setParam(NPP instance, nsPluginCreateData* data);
    // True while a worker thread of the instance still runs.
    virtual bool isTreadRunning();

    // The controller connection runs on a thread of its own that calls the
    // consumer operations above. It is started once the instance object is
    // completely built and stopped before any part of it is destroyed, so
    // that thread never calls into a half-built or half-destroyed object.
    // The entry layer calls both; the destructor stops a connection that is
    // still running. Plug-in thread.
    void startControllerConnection();
    void stopControllerConnection();

    void TraceWindow(NPWindow* window);
    void done(NPSavedData** save);
    // Sends the registration when the parameters are set and the controller
    // connection is up; returns whether it sent. Either thread.
    bool registerPlugin();
    // Attaches a further middleware client to the instance's connection.
    bool ZetaClientAdd(void* client);

protected:
    NPluginsIPCCommunications::CIPCTransportBase* transport() const { return mIPCTransport.load(); }

    // HandleEvent of a stock browser (no private table): the argument is the
    // window system's event. With X11 support built in it is an XEvent,
    // decoded into the same hooks as the host's records, GraphicsExpose
    // drawing through a cairo context on the drawable; without it every
    // event is refused. Plug-in thread.
    uint16_t handleWindowSystemEvent(void* event);

    NPP mInstance;
    CQVString mMimeType;
    uint16_t mMode;
    std::atomic<bool> mInitialized;
    NPWindow mWindow;
    // Atomic: the connection thread may read it while the constructor is
    // still storing it.
    std::atomic<NPluginsIPCCommunications::CIPCTransportBase*> mIPCTransport;
    std::atomic<bool> mParamIsSet;
    std::atomic<bool> mRegisterPending;
    std::atomic<bool> mRegistered;
    NPluginsIPCCommunications::tParameterList mParams;
    // Recursive: the transport may answer a request inside it, and the
    // answer runs consumer callbacks that subclasses may override.
    std::recursive_mutex mRegisterMutex;
    Int32 mProcessId;
    Int32 mBrowserId;
    Int32 mWindowId;
    // Guards mWindow, which the connection thread reads in responseRegister.
    // A leaf lock: nothing is called while it is held.
    std::mutex mWindowMutex;
    // The window record of the latest SetWindow, whatever its handle: a
    // stock browser's windowless drawable record keeps a null handle while
    // its size and window-system data change. Plug-in thread only.
    NPWindow mLastWindow;

private:
    _CQVPluginBase(const _CQVPluginBase&) = delete;
    _CQVPluginBase& operator=(const _CQVPluginBase&) = delete;
};
