#include "tests/support/log_capture.h"

namespace {
LogCapture* gActive = nullptr;
}

LogCapture::LogCapture() {
    gActive = this;
    CLogger::setSink(&LogCapture::deliver);
}

LogCapture::~LogCapture() {
    CLogger::setSink(nullptr);
    gActive = nullptr;
}

void LogCapture::deliver(LogMessage::type level, const char* text) {
    std::lock_guard<std::mutex> lock(gActive->mMutex);
    gActive->mLines.push_back({level, text});
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
    for (const std::string& text : texts(level)) n += text.find(fragment) != std::string::npos;
    return n;
}

void LogCapture::clear() {
    std::lock_guard<std::mutex> lock(mMutex);
    mLines.clear();
}
