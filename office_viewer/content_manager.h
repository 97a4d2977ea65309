// CContentManager: carries one document from its first stream byte to the
// browser's navigation to the converted page.
//
// The plug-in thread receives the stream here; at its end a CConversionJob
// takes the document over and a worker thread runs it (conversion_job.h).
// Results reach the plug-in thread only through NPN_PluginThreadAsyncCall,
// as calls that find the instance by token (see plugin_thread_calls.h), so
// a call that runs after the instance is gone does nothing. cleanup()
// cancels a running job without waiting for its worker, which finishes or
// gives up on its own with the document and storage it shares.
//
// What the user sees of a failure: the error state, and a message through
// the browser's private message service or, for a browser without it,
// drawn by the instance. Navigation goes through the private URL service or,
// without it, the standard NPN_GetURL.
//
// One document per instance at a time, received from one stream: a stream
// that begins while another is received or the worker still runs is
// refused, and writes or an end for any stream but the current one are
// refused, so no stream's bytes go into another's document. A stream stores
// at most maxStreamBytes(), the largest announced size the space check can
// accept, whether or not its length was announced.
//
// Threads: every operation runs on the browser's plug-in thread except the
// static openDocument/reportError(void*), which the browser runs there when
// the worker posted them.
#pragma once

#include "converter/document.h"
#include "office_viewer/plugin_thread_calls.h"
#include "platform/qv_shared_ptr.h"
#include "platform/qv_string.h"
#include "plugin_base/npapi.h"
#include "storage/storage_manager.h"

class CRavudaRovudeZazizu;
class CConversionJob;

class CContentManager {
public:
    // What an open request posted to the plug-in thread carries.
    struct COpenDocumentInfo {
        COpenDocumentInfo(PluginThreadCalls::Token plugin, const CQVString& path, const CQVString& streamUrl)
            : mPlugin(plugin), mPath(path), mStreamUrl(streamUrl) {}
        PluginThreadCalls::Token mPlugin;
        CQVString mPath;
        CQVString mStreamUrl;
    };
    // An error report posted to the plug-in thread, with the message the
    // instance shows when the browser has no message service of its own
    // (static text, else null).
    struct CReportErrorInfo {
        PluginThreadCalls::Token mPlugin;
        const char* mMessage;
    };

    CContentManager(CRavudaRovudeZazizu& plugin, PluginThreadCalls::Token pluginToken);
    virtual ~CContentManager();

    bool init();
    // Cancels a running job without waiting for it, releases the storage.
    // Idempotent.
    void cleanup();

    // True while a stream is received or a conversion runs: a new stream
    // is refused then.
    bool isBusy();
    // Whether stream is the one being received.
    bool isCurrentStream(const void* stream) const { return stream != nullptr && stream == mStream; }

    bool streamBegin(const void* stream, const char* extension, UInt32 size, const char* url);
    Int32 streamWrite(const void* stream, const void* data, Int32 len);
    bool streamFinish(const void* stream, NPError reason);

    static void openDocument(void* data);
    static void openDocument(CRavudaRovudeZazizu& plugin, const CQVString& path, const CQVString& streamUrl);
    static void reportError(void* data);

    // The most bytes one stream may store: a third of the cache budget.
    UInt32 maxStreamBytes() const;

private:
    CContentManager(const CContentManager&) = delete;
    CContentManager& operator=(const CContentManager&) = delete;

    void convertDocument();

    CRavudaRovudeZazizu& mPlugin;
    PluginThreadCalls::Token mPluginToken;
    bool mInitialized;
    TQVSharedPtr<CStorageManager> mStorage;
    // The document being received, handed to the job at the stream's end.
    DocumentPtr mDocument;
    const void* mStream;
    TQVSharedPtr<CConversionJob> mJob;
    CQVString mStreamUrl;
    UInt32 mStreamSize;
    UInt64 mStreamBytes;
};
