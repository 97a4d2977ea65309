// CContentManager: carries one document from its first stream byte to the
// browser's navigation to the converted page.
//
// Threads: every operation runs on the browser's plug-in thread, except the
// worker (CConverterThread::run and the *Async posts). Results reach the
// plug-in thread only through NPN_PluginThreadAsyncCall, as calls that find
// the instance by token (see plugin_thread_calls.h), so a call that runs
// after the instance is gone does nothing. mMutex orders the worker's final
// step against cleanup(): once cleanup has released it, the worker posts
// nothing more (the cache-hit path posts without it; its call is equally
// safe).
//
// What the user sees of a failure: the error state, and a message through
// the browser's private message service or, for a browser without it,
// drawn by the instance. Navigation goes through the private URL service or,
// without it, the standard NPN_GetURL.
//
// One document per instance at a time: a stream that begins while the
// worker still runs is refused, so the worker never loses its document.
// A stream stores at most maxStreamBytes(), the largest announced size the
// space check can accept, whether or not its length was announced.
#pragma once

#include <atomic>
#include <mutex>

#include "converter/document.h"
#include "office_viewer/plugin_thread_calls.h"
#include "platform/qv_shared_ptr.h"
#include "platform/qv_string.h"
#include "platform/qv_thread_ctrl.h"
#include "plugin_base/npapi.h"
#include "storage/storage_manager.h"

class CRavudaRovudeZazizu;

class CContentManager {
public:
    class CConverterThread : public CQVThreadCtrl::IRunnable {
    public:
        explicit CConverterThread(CContentManager* owner) : mOwner(owner) {}
        void run() override;

    private:
        CContentManager* mOwner;
    };

    // What an open request posted to the plug-in thread carries.
    struct COpenDocumentInfo {
        COpenDocumentInfo(PluginThreadCalls::Token plugin, const CQVString& path, const CQVString& streamUrl)
            : mPlugin(plugin), mPath(path), mStreamUrl(streamUrl) {}
        PluginThreadCalls::Token mPlugin;
        CQVString mPath;
        CQVString mStreamUrl;
    };

    CContentManager(CRavudaRovudeZazizu& plugin, PluginThreadCalls::Token pluginToken);
    virtual ~CContentManager();

    bool init();
    // Stops and joins a running worker, releases the storage. Idempotent.
    void cleanup();

    bool streamBegin(const char* extension, UInt32 size, const char* url);
    Int32 streamWrite(const void* data, Int32 len);
    bool streamFinish(NPError reason);
    void convertDocument();

    void openDocumentAsync(const CQVString& path);
    // Posts the error report; a non-null message (static text) is shown by
    // the instance first.
    void reportErrorAsync(const char* message);
    static void openDocument(void* data);
    static void openDocument(CRavudaRovudeZazizu& plugin, const CQVString& path, const CQVString& streamUrl);
    static void reportError(void* data);

    // The most bytes one stream may store: a third of the cache budget.
    UInt32 maxStreamBytes() const;

private:
    CContentManager(const CContentManager&) = delete;
    CContentManager& operator=(const CContentManager&) = delete;

    // Joins a worker that has finished; false while it still runs.
    bool reapFinishedWorker();

    CRavudaRovudeZazizu& mPlugin;
    PluginThreadCalls::Token mPluginToken;
    bool mInitialized;
    CStorageManager mStorageManager;
    DocumentPtr mDocument;
    std::mutex mMutex;
    TQVSharedPtr<CConverterThread> mConverterThread;
    int mThreadId;
    bool mInterrupted;
    CQVString mStreamUrl;
    UInt64 mStreamBytes;
    std::atomic<bool> mWorkerDone;
};
