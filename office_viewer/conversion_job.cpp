#include "office_viewer/conversion_job.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "log/logger.h"
#include "office_viewer/content_manager.h"
#include "params/office_plugin_params.h"
#include "platform/qv_file_operations.h"
#include "plugin_base/browser_funcs.h"
#include "plugin_base/npn_wrappers.h"

namespace {
const char kInternalError[] = "Internal error";
const char kBadContent[] = "Bad content";

// The conversion time limit in milliseconds, no shorter than a plug-in
// thread's own wait for the lock.
UInt32 lockWaitMs() {
    double seconds = COfficePluginParams::getInstance()->getDoubleValue(COfficePluginParams::TIME_LIMIT);
    double ms = seconds > 0 ? seconds * 1000.0 : 0.0;
    return ms >= 4294967295.0 ? 4294967295u
                              : std::max(CStorageManager::sLockWaitMs, static_cast<UInt32>(ms));
}
}  // namespace

CConversionJob::CConversionJob(NPP instance, PluginThreadCalls::Token plugin,
                               const TQVSharedPtr<CStorageManager>& storage, const DocumentPtr& document,
                               const CQVString& streamUrl, UInt32 announcedSize)
    : mInstance(instance),
      mPlugin(plugin),
      mStorage(storage),
      mDocument(document),
      mStreamUrl(streamUrl),
      mAnnouncedSize(announcedSize),
      mCancelled(false),
      mDone(false) {}

void CConversionJob::cancel() {
    std::lock_guard<std::mutex> lock(mMutex);
    mCancelled = true;
    mDocument->interruptConversion();
}

bool CConversionJob::lockStorage() { return mStorage->lockCache(lockWaitMs(), &mCancelled); }

void CConversionJob::run() {
    QV_LOG_ENTRY();
    const char* message = kInternalError;
    CQVString path;
    bool cached = false;
    if (!lockStorage()) {
        if (!mCancelled) QV_LOG(LogMessage::ERROR, "Error: no storage lock within the conversion time limit");
    } else {
        mStorage->checkVersionOnce();
        cached = mStorage->findDocumentInCache(mDocument->getMD5(), path);
        // Room for the conversion, made here rather than before the stream
        // was accepted: the plug-in thread never waits for the lock.
        bool room = cached || mStorage->squeezeCache(CStorageManager::requiredSpace(mAnnouncedSize));
        mStorage->unlockCache();
        if (cached) {
            QV_LOG(LogMessage::MESSAGE, "document from cache");
        } else if (!room) {
            QV_LOG(LogMessage::WARNING, "Can't allocate disk space for document");
        } else {
            path = convert(&message);
        }
    }
    mDocument->discard();
    if (path.isEmpty()) {
        postFailure(message);
    } else {
        postOpen(path);
    }
    // The last use of a cached page is committed after the navigation went
    // out: losing it to a crash costs only the eviction order.
    if (cached && lockStorage()) {
        mStorage->touchDocument(mDocument->getMD5());
        mStorage->unlockCache();
    }
    mStorage.reset();
    mDone = true;
}

CQVString CConversionJob::convert(const char** message) {
    CQVString destination = mStorage->getDestinationDirectory(mDocument->getFilePath());
    CQVString entryPoint;
    CQVString path;
    if (mDocument->convert(destination, entryPoint)) {
        if (lockStorage()) {
            path = mStorage->addDocumentToCache(mDocument->getMD5(), destination, entryPoint);
            mStorage->unlockCache();
            QV_LOG(LogMessage::MESSAGE, "document converted");
        } else if (!mCancelled) {
            // Shown from the working area; the eviction pass takes it later.
            path = destination + entryPoint;
        }
    } else {
        *message = kBadContent;
    }
    if (path.isEmpty() && !QVFileOperations::recursiveRemove(destination.c_str())) {
        QV_LOG(LogMessage::WARNING, "Can't remove %s: %s", destination.c_str(), strerror(errno));
    }
    return path;
}

void CConversionJob::postOpen(const CQVString& path) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCancelled) {
        QV_LOG(LogMessage::WARNING, "interrupted");
        return;
    }
    CContentManager::COpenDocumentInfo* info = new CContentManager::COpenDocumentInfo(mPlugin, path, mStreamUrl);
    NPN_PluginThreadAsyncCall(mInstance, &CContentManager::openDocument, info);
}

void CConversionJob::postFailure(const char* message) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mCancelled) {
        QV_LOG(LogMessage::WARNING, "interrupted");
        return;
    }
    if (message == kBadContent) {
        QV_LOG(LogMessage::ERROR, "can't convert document");
    }
    const char* shown = message;
    if (hasPrivateMessageService()) {
        NPN_SendMessage_private(message, message == kBadContent ? kNPMessageBadContent : kNPMessageInternalError);
        shown = nullptr;
    }
    // A browser without the message service gets the text drawn instead.
    NPN_PluginThreadAsyncCall(mInstance, &CContentManager::reportError,
                              new CContentManager::CReportErrorInfo{mPlugin, shown});
}
