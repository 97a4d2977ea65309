// HostBrowser: plays the browser towards a plug-in library, for tests and
// tools. It fills the browser's NPAPI table and the private extension table,
// serves the services a plug-in uses and records what the plug-in did:
// log lines per level, user messages with their kind, navigations,
// invalidations and redraws, NPN_SetValue calls, memory handed out.
//
// Threads: the thread that creates the HostBrowser is the plug-in thread.
// Every NPP_* call must come from it, and runPendingCalls()/runUntil() run the
// calls queued by NPN_PluginThreadAsyncCall on it. The recording services
// (log, messages, async queue) may be called by the plug-in from any thread.
//
// The NPAPI tables carry no user data, so one HostBrowser is active per
// process at a time: the most recently constructed one.
#pragma once

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/plugin_library.h"

namespace host {

struct LogLine {
    int level;  // 0 message, 1 warning, 2 error
    std::string text;
};

struct UserMessage {
    std::string text;
    uint32_t kind;  // 1 bad content, 2 internal error
};

struct Navigation {
    NPP instance;
    std::string url;
    std::string target;
    bool privateService;  // NPN_GetURL_private, else NPN_GetURL(Notify)
};

struct SetValueCall {
    NPP instance;
    NPPVariable variable;
    void* value;
};

// How the browser presents itself to NP_Initialize / NP_InitializePrivate.
struct BrowserOptions {
    uint16_t browserTableSize = sizeof(NPNetscapeFuncs);
    uint16_t browserTableVersion = 27;  // major 0, minor 27
    bool initializePrivate = true;
    // Hand over the private table before NP_Initialize, so that even the
    // lines NP_Initialize logs are recorded.
    bool privateFirst = false;
    uint16_t privateTableSize = sizeof(NPNetscapePrivateFuncs);
    uint16_t privateTableVersion = 1;
    uint16_t pluginTableSize = sizeof(NPPluginFuncs);
};

class HostBrowser {
public:
    HostBrowser();
    ~HostBrowser();
    HostBrowser(const HostBrowser&) = delete;
    HostBrowser& operator=(const HostBrowser&) = delete;

    // The tables as they will be handed over; a test may clear entries
    // before initialize() to play a browser that lacks a service.
    NPNetscapeFuncs& browserFuncs() { return mBrowserFuncs; }
    NPNetscapePrivateFuncs& privateFuncs() { return mPrivateFuncs; }

    // Calls NP_Initialize and, when the options ask for it and that
    // succeeded, NP_InitializePrivate. Returns the first error, else 0.
    NPError initialize(PluginLibrary& library, const BrowserOptions& options = BrowserOptions());
    NPError initializeResult() const { return mInitializeResult; }
    NPError initializePrivateResult() const { return mInitializePrivateResult; }
    // The plug-in's table as NP_Initialize filled it.
    const NPPluginFuncs& pluginFuncs() const { return mPluginFuncs; }
    // Calls NP_Shutdown.
    NPError shutdown(PluginLibrary& library);

    // Service behaviour.
    void failMemAlloc(bool fail) { mFailMemAlloc = fail; }
    void setViewResult(NPError result, int32_t viewId);
    void setGetURLResult(NPError result) { mGetURLResult = result; }
    // The X display NPN_GetValue answers for NPNVxDisplay (an X11 browser;
    // its toolkit is then answered as 2, GTK 2, as such browsers do). Null,
    // the default, answers neither.
    void setXDisplay(void* display) { mXDisplay = display; }
    // Called for every log line as it arrives (on the plug-in's thread).
    void setLogListener(std::function<void(const LogLine&)> listener);
    // Whether log lines are kept for logLines()/logCount() (the default);
    // a benchmark turns it off so that the host's bookkeeping of tens of
    // thousands of lines does not count as the plug-in's cost. The listener
    // is called either way.
    void setLogRecording(bool record);

    // The plug-in thread's queue of asynchronous calls.
    size_t runPendingCalls();
    size_t pendingCalls() const;
    // Runs queued calls until done() is true or the time is up, looking
    // again every `poll`.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                  std::chrono::microseconds poll = std::chrono::microseconds(2000));
    // Drops queued calls without running them (a browser that shut down).
    void discardPendingCalls();

    // What the plug-in did.
    std::vector<LogLine> logLines(int level = -1) const;
    size_t logCount(const std::string& fragment, int level = -1) const;
    bool logContains(const std::string& fragment, int level = -1) const { return logCount(fragment, level) > 0; }
    std::vector<UserMessage> messages() const;
    std::vector<Navigation> navigations() const;
    std::vector<SetValueCall> setValueCalls() const;
    int invalidateCount() const;
    int forceRedrawCount() const;
    long outstandingAllocations() const;
    void clearRecords();

private:
    static HostBrowser* active();
    void fillTables();

    // Browser services (static trampolines onto the active host).
    static void* memAlloc(uint32_t size);
    static void memFree(void* ptr);
    static uint32_t memFlush(uint32_t size);
    static NPError setValue(NPP instance, NPPVariable variable, void* value);
    static NPError getValue(NPP instance, NPNVariable variable, void* value);
    static void invalidateRect(NPP instance, NPRect* rect);
    static void invalidateRegion(NPP instance, NPRegion region);
    static void forceRedraw(NPP instance);
    static const char* userAgent(NPP instance);
    static void pluginThreadAsyncCall(NPP instance, void (*func)(void*), void* userData);
    static NPError getURL(NPP instance, const char* url, const char* window);
    static NPError getURLNotify(NPP instance, const char* url, const char* window, void* notifyData);
    static void status(NPP instance, const char* message);
    static NPError getURLPrivate(NPP instance, const char* url, const char* target);
    static NPError navigate(NPP instance, const char* url, const char* target, bool privateService);
    static void logError(const char* text);
    static void logWarning(const char* text);
    static void logMessage(const char* text);
    static void sendMessage(const char* text, uint32_t kind);
    static NPError getView(NPP instance, int32_t* viewId);

    void addLog(int level, const char* text);

    NPNetscapeFuncs mBrowserFuncs;
    NPNetscapePrivateFuncs mPrivateFuncs;
    NPPluginFuncs mPluginFuncs;
    NPError mInitializeResult = NPERR_NO_ERROR;
    NPError mInitializePrivateResult = NPERR_NO_ERROR;

    bool mFailMemAlloc = false;
    NPError mGetViewResult = NPERR_NO_ERROR;
    int32_t mViewId = 42;
    NPError mGetURLResult = NPERR_NO_ERROR;
    void* mXDisplay = nullptr;

    mutable std::mutex mMutex;  // guards everything below
    std::function<void(const LogLine&)> mLogListener;
    bool mRecordLog = true;
    std::vector<LogLine> mLog;
    std::vector<UserMessage> mMessages;
    std::vector<Navigation> mNavigations;
    std::vector<SetValueCall> mSetValueCalls;
    std::deque<std::pair<void (*)(void*), void*>> mAsyncCalls;
    int mInvalidates = 0;
    int mRedraws = 0;
    long mAllocations = 0;
};

}  // namespace host
