#include "host/host_browser.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace host {

namespace {
std::atomic<HostBrowser*> gActive{nullptr};
const char kUserAgent[] = "RrzHost/1.0";
}  // namespace

HostBrowser::HostBrowser() {
    std::memset(&mPluginFuncs, 0, sizeof(mPluginFuncs));
    fillTables();
    gActive = this;
}

HostBrowser::~HostBrowser() {
    HostBrowser* self = this;
    gActive.compare_exchange_strong(self, nullptr);
}

HostBrowser* HostBrowser::active() { return gActive.load(); }

void HostBrowser::fillTables() {
    std::memset(&mBrowserFuncs, 0, sizeof(mBrowserFuncs));
    mBrowserFuncs.geturl = &HostBrowser::getURL;
    mBrowserFuncs.status = &HostBrowser::status;
    mBrowserFuncs.uagent = &HostBrowser::userAgent;
    mBrowserFuncs.memalloc = &HostBrowser::memAlloc;
    mBrowserFuncs.memfree = &HostBrowser::memFree;
    mBrowserFuncs.memflush = &HostBrowser::memFlush;
    mBrowserFuncs.geturlnotify = &HostBrowser::getURLNotify;
    mBrowserFuncs.getvalue = &HostBrowser::getValue;
    mBrowserFuncs.setvalue = &HostBrowser::setValue;
    mBrowserFuncs.invalidaterect = &HostBrowser::invalidateRect;
    mBrowserFuncs.invalidateregion = &HostBrowser::invalidateRegion;
    mBrowserFuncs.forceredraw = &HostBrowser::forceRedraw;
    mBrowserFuncs.pluginthreadasynccall = &HostBrowser::pluginThreadAsyncCall;

    std::memset(&mPrivateFuncs, 0, sizeof(mPrivateFuncs));
    mPrivateFuncs.geturl_private = &HostBrowser::getURLPrivate;
    mPrivateFuncs.logerror_private = &HostBrowser::logError;
    mPrivateFuncs.logwarning_private = &HostBrowser::logWarning;
    mPrivateFuncs.logmessage_private = &HostBrowser::logMessage;
    mPrivateFuncs.sendmessage_private = &HostBrowser::sendMessage;
    mPrivateFuncs.getview_private = &HostBrowser::getView;
}

NPError HostBrowser::initialize(PluginLibrary& library, const BrowserOptions& options) {
    gActive = this;
    mBrowserFuncs.size = options.browserTableSize;
    mBrowserFuncs.version = options.browserTableVersion;
    mPrivateFuncs.size = options.privateTableSize;
    mPrivateFuncs.version = options.privateTableVersion;
    std::memset(&mPluginFuncs, 0, sizeof(mPluginFuncs));
    mPluginFuncs.size = options.pluginTableSize;
    bool withPrivate = options.initializePrivate && library.NP_InitializePrivate != nullptr;
    if (withPrivate && options.privateFirst) {
        mInitializePrivateResult = library.NP_InitializePrivate(&mPrivateFuncs);
    }
    mInitializeResult = library.NP_Initialize(&mBrowserFuncs, &mPluginFuncs);
    if (mInitializeResult != NPERR_NO_ERROR) return mInitializeResult;
    if (withPrivate && !options.privateFirst) {
        mInitializePrivateResult = library.NP_InitializePrivate(&mPrivateFuncs);
    }
    return withPrivate ? mInitializePrivateResult : NPERR_NO_ERROR;
}

NPError HostBrowser::shutdown(PluginLibrary& library) { return library.NP_Shutdown(); }

void HostBrowser::setViewResult(NPError result, int32_t viewId) {
    mGetViewResult = result;
    mViewId = viewId;
}

void HostBrowser::setLogListener(std::function<void(const LogLine&)> listener) {
    std::lock_guard<std::mutex> lock(mMutex);
    mLogListener = std::move(listener);
}

size_t HostBrowser::runPendingCalls() {
    size_t ran = 0;
    for (;;) {
        std::pair<void (*)(void*), void*> call;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mAsyncCalls.empty()) return ran;
            call = mAsyncCalls.front();
            mAsyncCalls.pop_front();
        }
        call.first(call.second);
        ++ran;
    }
}

size_t HostBrowser::pendingCalls() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mAsyncCalls.size();
}

bool HostBrowser::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
                           std::chrono::microseconds poll) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        runPendingCalls();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(poll);
    }
}

void HostBrowser::discardPendingCalls() {
    std::lock_guard<std::mutex> lock(mMutex);
    mAsyncCalls.clear();
}

std::vector<LogLine> HostBrowser::logLines(int level) const {
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<LogLine> out;
    for (const LogLine& line : mLog) {
        if (level < 0 || line.level == level) out.push_back(line);
    }
    return out;
}

size_t HostBrowser::logCount(const std::string& fragment, int level) const {
    size_t n = 0;
    for (const LogLine& line : logLines(level)) {
        if (line.text.find(fragment) != std::string::npos) ++n;
    }
    return n;
}

std::vector<UserMessage> HostBrowser::messages() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mMessages;
}

std::vector<Navigation> HostBrowser::navigations() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mNavigations;
}

std::vector<SetValueCall> HostBrowser::setValueCalls() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mSetValueCalls;
}

int HostBrowser::invalidateCount() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mInvalidates;
}

int HostBrowser::forceRedrawCount() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRedraws;
}

long HostBrowser::outstandingAllocations() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mAllocations;
}

void HostBrowser::clearRecords() {
    std::lock_guard<std::mutex> lock(mMutex);
    mLog.clear();
    mMessages.clear();
    mNavigations.clear();
    mSetValueCalls.clear();
    mInvalidates = 0;
    mRedraws = 0;
}

void HostBrowser::addLog(int level, const char* text) {
    LogLine line{level, text ? text : ""};
    std::function<void(const LogLine&)> listener;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        listener = mLogListener;
        if (mRecordLog && !listener) {
            mLog.push_back(std::move(line));
            return;
        }
        if (mRecordLog) mLog.push_back(line);
    }
    if (listener) listener(line);
}

void HostBrowser::setLogRecording(bool record) {
    std::lock_guard<std::mutex> lock(mMutex);
    mRecordLog = record;
}

void* HostBrowser::memAlloc(uint32_t size) {
    HostBrowser* self = active();
    if (self == nullptr || self->mFailMemAlloc) return nullptr;
    void* block = std::malloc(size ? size : 1);
    if (block != nullptr) {
        std::lock_guard<std::mutex> lock(self->mMutex);
        ++self->mAllocations;
    }
    return block;
}

void HostBrowser::memFree(void* ptr) {
    if (ptr == nullptr) return;
    std::free(ptr);
    if (HostBrowser* self = active()) {
        std::lock_guard<std::mutex> lock(self->mMutex);
        --self->mAllocations;
    }
}

uint32_t HostBrowser::memFlush(uint32_t) { return 0; }

NPError HostBrowser::setValue(NPP instance, NPPVariable variable, void* value) {
    if (HostBrowser* self = active()) {
        std::lock_guard<std::mutex> lock(self->mMutex);
        self->mSetValueCalls.push_back({instance, variable, value});
    }
    return NPERR_NO_ERROR;
}

NPError HostBrowser::getValue(NPP, NPNVariable variable, void* value) {
    if (value == nullptr) return NPERR_INVALID_PARAM;
    if (variable == NPNVSupportsWindowless) {
        *static_cast<NPBool*>(value) = true;
        return NPERR_NO_ERROR;
    }
    HostBrowser* self = active();
    void* display = self != nullptr ? self->mXDisplay : nullptr;
    if (variable == NPNVxDisplay && display != nullptr) {
        *static_cast<void**>(value) = display;
        return NPERR_NO_ERROR;
    }
    if (variable == NPNVToolkit && display != nullptr) {
        *static_cast<int*>(value) = 2;
        return NPERR_NO_ERROR;
    }
    return NPERR_GENERIC_ERROR;
}

void HostBrowser::invalidateRect(NPP, NPRect*) {
    if (HostBrowser* self = active()) {
        std::lock_guard<std::mutex> lock(self->mMutex);
        ++self->mInvalidates;
    }
}

void HostBrowser::invalidateRegion(NPP instance, NPRegion) { invalidateRect(instance, nullptr); }

void HostBrowser::forceRedraw(NPP) {
    if (HostBrowser* self = active()) {
        std::lock_guard<std::mutex> lock(self->mMutex);
        ++self->mRedraws;
    }
}

const char* HostBrowser::userAgent(NPP) { return kUserAgent; }

void HostBrowser::pluginThreadAsyncCall(NPP, void (*func)(void*), void* userData) {
    HostBrowser* self = active();
    if (self == nullptr || func == nullptr) return;
    std::lock_guard<std::mutex> lock(self->mMutex);
    self->mAsyncCalls.emplace_back(func, userData);
}

NPError HostBrowser::getURL(NPP instance, const char* url, const char* window) {
    return navigate(instance, url, window, false);
}

NPError HostBrowser::getURLNotify(NPP instance, const char* url, const char* window, void*) {
    return navigate(instance, url, window, false);
}

void HostBrowser::status(NPP, const char*) {}

NPError HostBrowser::getURLPrivate(NPP instance, const char* url, const char* target) {
    return navigate(instance, url, target, true);
}

NPError HostBrowser::navigate(NPP instance, const char* url, const char* target, bool privateService) {
    HostBrowser* self = active();
    if (self == nullptr) return NPERR_GENERIC_ERROR;
    std::lock_guard<std::mutex> lock(self->mMutex);
    self->mNavigations.push_back({instance, url ? url : "", target ? target : "", privateService});
    return self->mGetURLResult;
}

void HostBrowser::logError(const char* text) {
    if (HostBrowser* self = active()) self->addLog(2, text);
}

void HostBrowser::logWarning(const char* text) {
    if (HostBrowser* self = active()) self->addLog(1, text);
}

void HostBrowser::logMessage(const char* text) {
    if (HostBrowser* self = active()) self->addLog(0, text);
}

void HostBrowser::sendMessage(const char* text, uint32_t kind) {
    if (HostBrowser* self = active()) {
        std::lock_guard<std::mutex> lock(self->mMutex);
        self->mMessages.push_back({text ? text : "", kind});
    }
}

NPError HostBrowser::getView(NPP, int32_t* viewId) {
    HostBrowser* self = active();
    if (self == nullptr || viewId == nullptr) return NPERR_INVALID_PARAM;
    if (self->mGetViewResult == NPERR_NO_ERROR) *viewId = self->mViewId;
    return self->mGetViewResult;
}

}  // namespace host
