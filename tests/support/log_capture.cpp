#include "tests/support/log_capture.h"

#include "plugin_base/browser_funcs.h"

namespace {
LogCapture* gActive = nullptr;
}

LogCapture::LogCapture() {
    gActive = this;
    NPNPrivateFuncs.logerror_private = &LogCapture::onError;
    NPNPrivateFuncs.logwarning_private = &LogCapture::onWarning;
    NPNPrivateFuncs.logmessage_private = &LogCapture::onMessage;
}

LogCapture::~LogCapture() {
    NPNPrivateFuncs.logerror_private = nullptr;
    NPNPrivateFuncs.logwarning_private = nullptr;
    NPNPrivateFuncs.logmessage_private = nullptr;
    gActive = nullptr;
}

void LogCapture::onError(const char* text) { gActive->add(2, text); }
void LogCapture::onWarning(const char* text) { gActive->add(1, text); }
void LogCapture::onMessage(const char* text) { gActive->add(0, text); }

void LogCapture::add(int level, const char* text) {
    std::lock_guard<std::mutex> lock(mMutex);
    mLines.push_back({level, text});
}

std::vector<LogCapture::Line> LogCapture::lines() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mLines;
}

std::vector<std::string> LogCapture::texts(int level) const {
    std::vector<std::string> out;
    for (const Line& line : lines()) {
        if (level < 0 || line.level == level) out.push_back(line.text);
    }
    return out;
}

bool LogCapture::contains(const std::string& fragment, int level) const { return count(fragment, level) > 0; }

size_t LogCapture::count(const std::string& fragment, int level) const {
    size_t n = 0;
    for (const std::string& text : texts(level)) {
        if (text.find(fragment) != std::string::npos) ++n;
    }
    return n;
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> lock(mMutex);
    mLines.clear();
}
