#include "office_viewer/content_manager.h"

#include "log/logger.h"
#include "office_viewer/ravuda_rovude_zazizu.h"
#include "plugin_base/browser_funcs.h"
#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npn_wrappers.h"

namespace {
const char kInternalError[] = "Internal error";
const char kBadContent[] = "Bad content";

// A report posted to the plug-in thread, with the message the instance
// shows when the browser has no message service of its own (else null).
struct ReportErrorCall {
    PluginThreadCalls::Token plugin;
    const char* message;
};

// A message for the user: through the browser's private message service,
// or, for a browser without one, shown by the instance. Plug-in thread.
void tellUser(CRavudaRovudeZazizu& plugin, const char* text, NPPrivateMessageKind kind) {
    if (hasPrivateMessageService()) {
        NPN_SendMessage_private(text, kind);
    } else {
        plugin.showMessage(text);
    }
}
}  // namespace

CContentManager::CContentManager(CRavudaRovudeZazizu& plugin, PluginThreadCalls::Token pluginToken)
    : mPlugin(plugin),
      mPluginToken(pluginToken),
      mInitialized(false),
      mThreadId(0),
      mInterrupted(false),
      mStreamBytes(0),
      mWorkerDone(false) {}

CContentManager::~CContentManager() { cleanup(); }

UInt32 CContentManager::maxStreamBytes() const { return CStorageManager::sStorageSize / 3; }

bool CContentManager::init() {
    QV_LOG_ENTRY();
    if (mStorageManager.init()) {
        QV_LOG(LogMessage::MESSAGE, "CStorageManager initialized");
        mInitialized = true;
        return true;
    }
    QV_LOG(LogMessage::ERROR, "CStorageManager was not initialized");
    return false;
}

bool CContentManager::reapFinishedWorker() {
    if (mThreadId == 0) return true;
    if (!mWorkerDone) return false;
    if (CQVThreadCtrl::join(mThreadId, 0) == -1) QV_LOG(LogMessage::ERROR, "Can't join thread");
    mThreadId = 0;
    mConverterThread.reset();
    return true;
}

bool CContentManager::streamBegin(const char* extension, UInt32 size, const char* url) {
    QV_LOG_ENTRY();
    if (!mInitialized) {
        QV_LOG(LogMessage::ERROR, "manager was not initialized");
        return false;
    }
    if (!reapFinishedWorker()) {
        QV_LOG(LogMessage::ERROR, "a document is still being converted; stream refused");
        return false;
    }
    CQVString path = mStorageManager.newDocument(extension, size);
    mDocument = path.isEmpty() ? DocumentPtr() : DocumentPtr(new CDocument(path.c_str()));
    mStreamUrl = url;
    mStreamBytes = 0;
    if (!mDocument) {
        tellUser(mPlugin, kInternalError, kNPMessageInternalError);
        return false;
    }
    if (!mDocument->startWrite()) {
        QV_LOG(LogMessage::ERROR, "startWrite failed");
        tellUser(mPlugin, kInternalError, kNPMessageInternalError);
        return false;
    }
    return true;
}

Int32 CContentManager::streamWrite(const void* data, Int32 len) {
    QV_LOG_ENTRY();
    if (!mInitialized) {
        QV_LOG(LogMessage::ERROR, "manager was not initialized");
        return -1;
    }
    if (!mDocument) return -1;
    // A stream without an announced length passes the space check with
    // nothing; never let one store more than an announced one could.
    if (len > 0 && mStreamBytes + static_cast<UInt64>(len) > maxStreamBytes()) {
        QV_LOG(LogMessage::ERROR, "Error: stream exceeds %u bytes, the most a document may have",
               maxStreamBytes());
        return -1;
    }
    Int32 written = mDocument->write(data, len);
    if (written > 0) mStreamBytes += static_cast<UInt64>(written);
    return written;
}

bool CContentManager::streamFinish(NPError reason) {
    QV_LOG_ENTRY();
    if (!mInitialized) {
        QV_LOG(LogMessage::ERROR, "manager was not initialized");
        return false;
    }
    if (reason != NPRES_DONE) {
        QV_LOG(LogMessage::ERROR, "Stream error %d", reason);
        return false;
    }
    if (!mDocument || !mDocument->finishWrite()) {
        QV_LOG(LogMessage::ERROR, "can't finish write");
        tellUser(mPlugin, kInternalError, kNPMessageInternalError);
        return false;
    }
    convertDocument();
    return true;
}

void CContentManager::convertDocument() {
    QV_LOG_ENTRY();
    mConverterThread.reset(new CConverterThread(this));
    mWorkerDone = false;
    mThreadId = CQVThreadCtrl::startThread(*mConverterThread, false, CQVThreadCtrl::DEFAULTPRIORITY,
                                           CQVThreadCtrl::DEFAULTSTACKSIZE);
    if (mThreadId == 0) QV_LOG(LogMessage::ERROR, "Can't start new thread");
}

void CContentManager::CConverterThread::run() {
    QV_LOG_ENTRY();
    CContentManager& owner = *mOwner;
    CDocument& document = *owner.mDocument;
    CQVString path;
    if (owner.mStorageManager.findDocumentInCache(document.getMD5(), path)) {
        QV_LOG(LogMessage::MESSAGE, "document from cache");
        owner.openDocumentAsync(path);
        owner.mWorkerDone = true;
        return;
    }
    CQVString destination = owner.mStorageManager.getDestinationDirectory(document.getFilePath());
    CQVString entryPoint;
    bool ok = document.convert(destination, entryPoint);

    std::lock_guard<std::mutex> lock(owner.mMutex);
    if (owner.mInterrupted) {
        QV_LOG(LogMessage::WARNING, "interrupted");
    } else if (ok) {
        path = owner.mStorageManager.addDocumentToCache(document.getMD5(), destination, entryPoint);
        QV_LOG(LogMessage::MESSAGE, "document converted");
        owner.openDocumentAsync(path);
    } else {
        QV_LOG(LogMessage::ERROR, "can't convert document");
        if (hasPrivateMessageService()) {
            NPN_SendMessage_private(kBadContent, kNPMessageBadContent);
            owner.reportErrorAsync(nullptr);
        } else {
            // The instance shows it, on the plug-in thread.
            owner.reportErrorAsync(kBadContent);
        }
    }
    owner.mWorkerDone = true;
}

void CContentManager::openDocumentAsync(const CQVString& path) {
    COpenDocumentInfo* info = new COpenDocumentInfo(mPluginToken, path, mStreamUrl);
    NPN_PluginThreadAsyncCall(mPlugin.getInstance(), &CContentManager::openDocument, info);
}

void CContentManager::reportErrorAsync(const char* message) {
    ReportErrorCall* call = new ReportErrorCall{mPluginToken, message};
    NPN_PluginThreadAsyncCall(mPlugin.getInstance(), &CContentManager::reportError, call);
}

void CContentManager::openDocument(void* data) {
    QV_LOG_ENTRY();
    if (data == nullptr) {
        QV_LOG(LogMessage::ERROR, "data = 0");
        return;
    }
    COpenDocumentInfo* info = static_cast<COpenDocumentInfo*>(data);
    if (CRavudaRovudeZazizu* plugin = PluginThreadCalls::lookup(info->mPlugin)) {
        openDocument(*plugin, info->mPath, info->mStreamUrl);
    } else {
        QV_LOG(LogMessage::WARNING, "instance is gone; document not opened");
    }
    delete info;
}

void CContentManager::openDocument(CRavudaRovudeZazizu& plugin, const CQVString& path, const CQVString& streamUrl) {
    QV_LOG_ENTRY();
    CQVString url = CQVString("file://") + path;
    if (!streamUrl.isEmpty()) url += CQVString("?originalpath=") + streamUrl;
    QV_LOG(LogMessage::MESSAGE, "opening document: %s", url.c_str());
    // A stock browser navigates through the standard service.
    NPError err = hasPrivateURLService() ? NPN_GetURL_private(plugin.getInstance(), url.c_str(), "_self")
                                         : NPN_GetURL(plugin.getInstance(), url.c_str(), "_self");
    if (err != NPERR_NO_ERROR) {
        QV_LOG(LogMessage::ERROR, "GetURL: %hd", err);
        tellUser(plugin, kInternalError, kNPMessageInternalError);
        plugin.reportError();
    }
}

void CContentManager::reportError(void* data) {
    if (data == nullptr) return;
    ReportErrorCall* call = static_cast<ReportErrorCall*>(data);
    if (CRavudaRovudeZazizu* plugin = PluginThreadCalls::lookup(call->plugin)) {
        if (call->message != nullptr) plugin->showMessage(call->message);
        plugin->reportError();
    }
    delete call;
}

void CContentManager::cleanup() {
    QV_LOG_ENTRY();
    if (!mInitialized) return;
    if (mThreadId != 0) {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mInterrupted = true;
            if (mDocument) mDocument->interruptConversion();
        }
        if (CQVThreadCtrl::join(mThreadId, 0) == -1) QV_LOG(LogMessage::ERROR, "Can't join thread");
        mThreadId = 0;
    }
    mStorageManager.cleanup();
    mInitialized = false;
}
