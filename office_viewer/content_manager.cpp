#include "office_viewer/content_manager.h"

#include "log/logger.h"
#include "office_viewer/conversion_job.h"
#include "office_viewer/conversion_workers.h"
#include "office_viewer/ravuda_rovude_zazizu.h"
#include "plugin_base/browser_funcs.h"
#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npn_wrappers.h"

namespace {
const char kInternalError[] = "Internal error";

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
      mStream(nullptr),
      mStreamSize(0),
      mStreamBytes(0) {}

CContentManager::~CContentManager() { cleanup(); }

UInt32 CContentManager::maxStreamBytes() const { return CStorageManager::sStorageSize / 3; }

bool CContentManager::init() {
    QV_LOG_ENTRY();
    mStorage.reset(new CStorageManager);
    if (mStorage->init()) {
        QV_LOG(LogMessage::MESSAGE, "CStorageManager initialized");
        mInitialized = true;
        return true;
    }
    QV_LOG(LogMessage::ERROR, "CStorageManager was not initialized");
    mStorage.reset();
    return false;
}

bool CContentManager::isBusy() {
    if (mJob && mJob->isDone()) mJob.reset();
    return mStream != nullptr || mJob;
}

bool CContentManager::streamBegin(const void* stream, const char* extension, UInt32 size, const char* url) {
    QV_LOG_ENTRY();
    if (!mInitialized) {
        QV_LOG(LogMessage::ERROR, "manager was not initialized");
        return false;
    }
    if (isBusy()) {
        QV_LOG(LogMessage::ERROR, "a document is still being received or converted; stream refused");
        return false;
    }
    CQVString path = mStorage->newDocument(extension, size);
    mDocument = path.isEmpty() ? DocumentPtr() : DocumentPtr(new CDocument(path.c_str()));
    mStreamUrl = url;
    mStreamSize = size;
    mStreamBytes = 0;
    if (!mDocument) {
        tellUser(mPlugin, kInternalError, kNPMessageInternalError);
        return false;
    }
    if (!mDocument->startWrite()) {
        QV_LOG(LogMessage::ERROR, "startWrite failed");
        mDocument.reset();
        tellUser(mPlugin, kInternalError, kNPMessageInternalError);
        return false;
    }
    mStream = stream;
    return true;
}

Int32 CContentManager::streamWrite(const void* stream, const void* data, Int32 len) {
    QV_LOG_ENTRY();
    if (!mInitialized) {
        QV_LOG(LogMessage::ERROR, "manager was not initialized");
        return -1;
    }
    if (!isCurrentStream(stream)) {
        QV_LOG(LogMessage::ERROR, "Error: write for a stream that is not being received");
        return -1;
    }
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

bool CContentManager::streamFinish(const void* stream, NPError reason) {
    QV_LOG_ENTRY();
    if (!mInitialized) {
        QV_LOG(LogMessage::ERROR, "manager was not initialized");
        return false;
    }
    if (!isCurrentStream(stream)) {
        QV_LOG(LogMessage::ERROR, "Error: end of a stream that is not being received");
        return false;
    }
    mStream = nullptr;
    // A document that is not converted leaves nothing in the working area.
    if (reason != NPRES_DONE) {
        QV_LOG(LogMessage::ERROR, "Stream error %d", reason);
        mDocument.reset();
        return false;
    }
    if (!mDocument->finishWrite()) {
        QV_LOG(LogMessage::ERROR, "can't finish write");
        mDocument.reset();
        tellUser(mPlugin, kInternalError, kNPMessageInternalError);
        return false;
    }
    convertDocument();
    return true;
}

void CContentManager::convertDocument() {
    QV_LOG_ENTRY();
    mJob.reset(new CConversionJob(mPlugin.getInstance(), mPluginToken, mStorage, mDocument, mStreamUrl, mStreamSize));
    mDocument.reset();
    if (!ConversionWorkers::start(mJob)) {
        // The instance stays in the converting state.
        QV_LOG(LogMessage::ERROR, "Can't start new thread");
        mJob.reset();
    }
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
    CReportErrorInfo* call = static_cast<CReportErrorInfo*>(data);
    if (CRavudaRovudeZazizu* plugin = PluginThreadCalls::lookup(call->mPlugin)) {
        if (call->mMessage != nullptr) plugin->showMessage(call->mMessage);
        plugin->reportError();
    }
    delete call;
}

void CContentManager::cleanup() {
    QV_LOG_ENTRY();
    if (!mInitialized) return;
    // The worker keeps what it shares with us and ends on its own.
    if (mJob) mJob->cancel();
    mJob.reset();
    ConversionWorkers::joinFinished();
    mDocument.reset();
    mStream = nullptr;
    mStorage.reset();
    mInitialized = false;
}
