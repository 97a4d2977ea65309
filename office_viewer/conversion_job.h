// CConversionJob: one document's way from a finished stream to the browser's
// navigation (or its failure), run by a conversion worker thread.
//
// The job owns, through shared ownership, everything the worker touches:
// the document, the storage, the instance's handle and token (never
// dereferenced here: the browser checks the handle, the token finds the
// instance on the plug-in thread). So the instance may be destroyed while
// the worker still runs; the worker then finishes or gives up on its own.
//
// The steps: the storage lock is waited for up to the conversion time limit
// (the lock may be held by a stopped process); a cached conversion is
// posted for navigation at once and its last use committed afterwards, so
// the user never waits for a sync; otherwise room is made in the cache
// (eviction), the document converted and the result moved into the cache.
// A failure posts "Bad content" or "Internal error". Nothing of a failed,
// timed-out or cancelled conversion stays in the working area.
//
// Threads: run() on the worker; cancel() on the browser's plug-in thread,
// never blocking: once it returns the worker posts nothing more, gives up
// its waits for the lock within ~50 ms and has its converter killed.
// isDone() from any thread.
#pragma once

#include <atomic>
#include <mutex>

#include "converter/document.h"
#include "office_viewer/plugin_thread_calls.h"
#include "platform/qv_shared_ptr.h"
#include "platform/qv_string.h"
#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npapi.h"
#include "storage/storage_manager.h"

class CConversionJob {
public:
    CConversionJob(NPP instance, PluginThreadCalls::Token plugin, const TQVSharedPtr<CStorageManager>& storage,
                   const DocumentPtr& document, const CQVString& streamUrl, UInt32 announcedSize);

    CConversionJob(const CConversionJob&) = delete;
    CConversionJob& operator=(const CConversionJob&) = delete;

    void run();
    void cancel();
    bool isDone() const { return mDone.load(); }

private:
    // Waits for the storage lock up to the time limit, or until cancelled.
    bool lockStorage();
    // Converts the document and caches the result; the page to open, or
    // empty on failure (then *message is what the user is told).
    CQVString convert(const char** message);
    // Posts the navigation to path, unless cancelled.
    void postOpen(const CQVString& path);
    // Tells the user and posts the error state, unless cancelled.
    void postFailure(const char* message);

    const NPP mInstance;
    const PluginThreadCalls::Token mPlugin;
    // The worker's own; let go when run() ends, so that a finished job that
    // waits to be joined holds no mapping or descriptor of the storage.
    TQVSharedPtr<CStorageManager> mStorage;
    const DocumentPtr mDocument;
    const CQVString mStreamUrl;
    const UInt32 mAnnouncedSize;
    // Orders the worker's posts against cancel().
    std::mutex mMutex;
    std::atomic<bool> mCancelled;
    std::atomic<bool> mDone;
};
