#include "plugin_base/qv_plugin_base.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "ipc/zeta_ipc_adapter.h"
#include "log/logger.h"
#include "plugin_base/npn_wrappers.h"
#include "plugin_base/plugin_module.h"
#include "platform/qv_operating_system.h"

namespace {
const char kSessionData[] = "Dummy session data!";

// strtol without its undefined corners; text that is not a number gives 0.
Int32 decimal(const char* text) { return text ? static_cast<Int32>(std::strtol(text, nullptr, 10)) : 0; }

CQVString formatInt(Int32 value) {
    CQVString text;
    text.format("%d", value);
    return text;
}
}  // namespace

_CQVPluginBase::_CQVPluginBase()
    : mInstance(nullptr),
      mMode(0),
      mInitialized(false),
      mIPCTransport(nullptr),
      mParamIsSet(false),
      mRegisterPending(false),
      mRegistered(false),
      mProcessId(-1),
      mBrowserId(-1),
      mWindowId(-1) {
    QV_LOG_ENTRY();
    std::memset(&mWindow, 0, sizeof(mWindow));
    std::memset(&mLastWindow, 0, sizeof(mLastWindow));
    mProcessId = QVOperatingSystem::getCurrentPID();
    const char* browserId = std::getenv("QV_BROWSER_ID");
    mBrowserId = (browserId != nullptr && browserId[0] != '\0') ? decimal(browserId) : mProcessId;
    QV_LOG(LogMessage::MESSAGE, "PID=%d BrowserId=%d", mProcessId, mBrowserId);
}

_CQVPluginBase::~_CQVPluginBase() {
    QV_LOG_ENTRY();
    // Stops the connection thread before any other member goes away.
    stopControllerConnection();
    mInstance = nullptr;
}

void _CQVPluginBase::startControllerConnection() {
    if (transport() != nullptr) return;
    // The connection thread starts inside the adapter's constructor and may
    // call componentConnected at once.
    mIPCTransport = new (std::nothrow) NPluginsIPCCommunications::CZetaIPCAdapter(this);
}

void _CQVPluginBase::stopControllerConnection() { delete mIPCTransport.exchange(nullptr); }

void _CQVPluginBase::setParam(nsPluginCreateData* data) {
    QV_LOG_ENTRY();
    if (data != nullptr) {
        mInstance = data->instance;
        mMimeType = data->type;
        mMode = data->mode;
        QV_LOG(LogMessage::MESSAGE, "mInstance = 0x%p, NPNInstance = 0x%p, NPPInstance = 0x%p, MimeType = %s, Mode = %d",
               static_cast<void*>(mInstance), mInstance ? mInstance->ndata : nullptr, static_cast<void*>(this),
               mMimeType.c_str(), mMode);
        mParams.push_back(NPluginsIPCCommunications::tNameValuePair("BrowserId", formatInt(mBrowserId)));
        for (int i = 0; i < data->argc; ++i) {
            const char* name = (data->argn && data->argn[i]) ? data->argn[i] : "";
            const char* value = (data->argv && data->argv[i]) ? data->argv[i] : "";
            QV_LOG(LogMessage::MESSAGE, "argn[%d]:%s argv[%d]:%s", i, name, i, value);
            mParams.push_back(NPluginsIPCCommunications::tNameValuePair(name, value));
            if (strcasecmp(name, "width") == 0) {
                std::lock_guard<std::mutex> lock(mWindowMutex);
                mWindow.width = static_cast<uint32_t>(decimal(value));
            } else if (strcasecmp(name, "height") == 0) {
                std::lock_guard<std::mutex> lock(mWindowMutex);
                mWindow.height = static_cast<uint32_t>(decimal(value));
            }
        }
        int32_t viewId = -1;
        if (NPN_GetView_private(mInstance, &viewId) == NPERR_NO_ERROR) {
            mWindowId = viewId;
            QV_LOG(LogMessage::MESSAGE, "WindowID: %d", mWindowId);
            mParams.push_back(NPluginsIPCCommunications::tNameValuePair("WebKitWindowID", formatInt(mWindowId)));
        } else {
            QV_LOG(LogMessage::ERROR, "Can`t get windowId from the webkit process");
        }
        QV_LOG(LogMessage::MESSAGE, "saved=0x%p", static_cast<void*>(data->saved));
        if (data->saved != nullptr) {
            NPSavedData* saved = data->saved;
            QV_LOG(LogMessage::MESSAGE, "len=%d buff=0x%p", saved->len, saved->buf);
            if (saved->buf != nullptr) {
                // The buffer need not be terminated: take at most len bytes.
                size_t length = saved->len > 0 ? strnlen(static_cast<const char*>(saved->buf), saved->len) : 0;
                std::string text(static_cast<const char*>(saved->buf), length);
                std::string line = "Saved data from last session: " + text;
                QV_LOG(LogMessage::MESSAGE, "%s", line.c_str());
                NPN_MemFree(saved->buf);
                saved->buf = nullptr;
            }
        }
        setParam(mInstance, data);
    }
    QV_LOG(LogMessage::MESSAGE, "Calling NPN_SetValue NPPVpluginWindowBool=NULL (we are windowless)");
    NPN_SetValue(mInstance, NPPVpluginWindowBool, nullptr);
    mParamIsSet = true;
    registerPlugin();
    QV_LOG(LogMessage::MESSAGE, "mInitialized=%d", mInitialized.load() ? 1 : 0);
}

void _CQVPluginBase::setParam(NPP, nsPluginCreateData*) {}

NPBool _CQVPluginBase::init(NPWindow* window) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "aWindow=0x%p", static_cast<void*>(window));
    if (window == nullptr) return false;
    TraceWindow(window);
    mInitialized = true;
    onInit();
    return true;
}

NPBool _CQVPluginBase::isInitialized() {
    QV_LOG_ENTRY();
    if (!mInitialized) {
        QV_LOG(LogMessage::MESSAGE, "Warning: Plugin not initialized yet! (see: CQVPluginBase::init (NPWindow* aWindow))");
    }
    return mInitialized;
}

NPError _CQVPluginBase::SetWindow(NPWindow* window) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "aWindow=0x%p", static_cast<void*>(window));
    if (window == nullptr) return NPERR_GENERIC_ERROR;
    TraceWindow(window);
    mLastWindow = *window;
    CPluginRect windowRect;
    CPluginRect clipRect;
    {
        std::lock_guard<std::mutex> lock(mWindowMutex);
        if (window->window != mWindow.window) {
            mWindow = *window;
        } else {
            QV_LOG(LogMessage::MESSAGE, "   mWindow.window == aWindow->window (0x%p)", window->window);
        }
        windowRect = CPluginRect(static_cast<Int16>(mWindow.x), static_cast<Int16>(mWindow.y),
                                 static_cast<UInt16>(mWindow.width), static_cast<UInt16>(mWindow.height));
        clipRect = CPluginRect(mWindow.clipRect);
    }
    return onSetWindow(windowRect, clipRect) ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
}

void _CQVPluginBase::TraceWindow(NPWindow* window) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "pWindow=0x%p", static_cast<void*>(window));
    if (window == nullptr) return;
    QV_LOG(LogMessage::MESSAGE, "window=0x%p x=%d y=%d width=%d heigth=%d", window->window, window->x, window->y,
           static_cast<int>(window->width), static_cast<int>(window->height));
    QV_LOG(LogMessage::MESSAGE, "clipRect: top=%d left=%d bottom=%d right=%d", window->clipRect.top,
           window->clipRect.left, window->clipRect.bottom, window->clipRect.right);
    QV_LOG(LogMessage::MESSAGE, "type=%s",
           window->type == NPWindowTypeWindow ? "NPWindowTypeWindow" : "NPWindowTypeDrawable");
}

NPError _CQVPluginBase::GetValue(NPPVariable variable, void* value) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "%d, 0x%p", static_cast<int>(variable), value);
    if (value == nullptr || variable < 1) return NPERR_INVALID_PARAM;
    switch (variable) {
        case NPPVpluginNameString:
        case NPPVpluginDescriptionString:
            return NS_PluginGetValue(variable, value);
        case NPPVpluginScriptableNPObject:
            *static_cast<NPObject**>(value) = GetScriptableObject();
            return NPERR_NO_ERROR;
        default:
            return NPERR_INVALID_PARAM;
    }
}

void _CQVPluginBase::shut(NPSavedData** save) {
    QV_LOG_ENTRY();
    onCleanup();
    done(save);
    mInitialized = false;
    QV_LOG(LogMessage::MESSAGE, "<< 0x%p", static_cast<void*>(this));
}

void _CQVPluginBase::shut() { shut(nullptr); }

void _CQVPluginBase::done(NPSavedData** save) {
    QV_LOG_ENTRY();
    if (save != nullptr) {
        // The browser's allocator may fail: never write through a null record
        // or buffer; what could not be allocated is simply not saved.
        NPSavedData* saved = static_cast<NPSavedData*>(NPN_MemAlloc(sizeof(NPSavedData)));
        *save = saved;
        if (saved != nullptr) {
            saved->len = static_cast<int32_t>(sizeof(kSessionData));
            saved->buf = NPN_MemAlloc(sizeof(kSessionData));
            if (saved->buf != nullptr) {
                std::memcpy(saved->buf, kSessionData, sizeof(kSessionData));
            } else {
                saved->len = 0;
            }
            QV_LOG(LogMessage::MESSAGE, "   Save %d byte session data: ppSave=0x%p *ppSave=0x%p", saved->len,
                   static_cast<void*>(save), static_cast<void*>(*save));
        } else {
            QV_LOG(LogMessage::ERROR, "   Can't save session data: NPN_MemAlloc failed");
        }
    }
    NPluginsIPCCommunications::CIPCTransportBase* ipc = transport();
    if (mRegistered && ipc != nullptr) {
        ipc->requestDeregister();
        mRegistered = false;
    }
    mInitialized = false;
    mParamIsSet = false;
    mRegisterPending = true;
    QV_LOG(LogMessage::MESSAGE, "<<");
}

NPError _CQVPluginBase::NewStream(NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype) {
    QV_LOG_ENTRY();
    if (stype != nullptr && stream != nullptr) {
        QV_LOG(LogMessage::MESSAGE, "type=%s,url=%s,length=%i,last modified=%i,streamType=%d, seekable=%s",
               type ? type : "", stream->url ? stream->url : "", static_cast<int>(stream->end),
               static_cast<int>(stream->lastmodified), *stype, seekable ? "true" : "false");
    }
    return NPERR_NO_ERROR;
}

NPError _CQVPluginBase::DestroyStream(NPStream*, NPReason) {
    QV_LOG_ENTRY();
    return NPERR_NO_ERROR;
}

void _CQVPluginBase::StreamAsFile(NPStream* stream, const char* fname) {
    QV_LOG_ENTRY();
    if (stream != nullptr && fname != nullptr) {
        QV_LOG(LogMessage::MESSAGE, "url=%s   filename=%s", stream->url ? stream->url : "", fname);
    }
}

int32_t _CQVPluginBase::WriteReady(NPStream*) {
    QV_LOG_ENTRY();
    return 0x0FFFFFFF;
}

int32_t _CQVPluginBase::Write(NPStream*, int32_t, int32_t len, void*) {
    QV_LOG_ENTRY();
    return len;
}

void _CQVPluginBase::URLNotify(const char* url, NPReason reason, void* notifyData) {
    QV_LOG_ENTRY();
    if (url != nullptr) QV_LOG(LogMessage::MESSAGE, "url=%s reason=%d notifyData=0x%p", url, reason, notifyData);
}

void _CQVPluginBase::Print(NPPrint* printInfo) {
    QV_LOG_ENTRY();
    if (printInfo != nullptr) QV_LOG(LogMessage::MESSAGE, "printinfo mode:%d", printInfo->mode);
}

NPError _CQVPluginBase::SetValue(NPNVariable variable, void* value) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "variable:%d value:0x%p", static_cast<int>(variable), value);
    return NPERR_NO_ERROR;
}

NPObject* _CQVPluginBase::GetScriptableObject() {
    QV_LOG_ENTRY();
    return nullptr;
}

NPBool _CQVPluginBase::GotFocus(NPFocusDirection direction) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "direction:%d", static_cast<int>(direction));
    return false;
}

void _CQVPluginBase::LostFocus() { QV_LOG_ENTRY(); }

void _CQVPluginBase::URLRedirectNotify(const char* url, int32_t status, void* notifyData) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "url:%s, status:%d, notifyData:0x%p", url ? url : "", status, notifyData);
}

NPError _CQVPluginBase::ClearSiteData(const char* site, uint64_t flags, uint64_t maxAge) {
    QV_LOG_ENTRY();
    if (site != nullptr) {
        QV_LOG(LogMessage::MESSAGE, "site:%s flags:%llu maxAge:%llu", site, static_cast<unsigned long long>(flags),
               static_cast<unsigned long long>(maxAge));
    }
    return NPERR_NO_ERROR;
}

char** _CQVPluginBase::GetSitesWithData() {
    QV_LOG_ENTRY();
    return nullptr;
}

void _CQVPluginBase::disableOpenGlSimu() {}

bool _CQVPluginBase::isTreadRunning() { return false; }
