#include "log/logger.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {
constexpr unsigned kLineBufferSize = 2048;
// One byte less than the buffer: a line holds at most 2046 characters.
constexpr unsigned kLineLimit = kLineBufferSize - 1;
constexpr unsigned kNameBufferSize = 512;

// Constant-initialised, so it is usable from the first static constructor
// that logs to the last static destructor.
std::mutex gLoggerMutex;
CLogger::Sink gSink = nullptr;  // guarded by gLoggerMutex
}  // namespace

void CLogger::reduceFunctionName(const char* signature, char* out, unsigned size) {
    if (size == 0) return;
    out[0] = '\0';
    if (signature == nullptr) return;
    size_t whole = std::strlen(signature);
    size_t begin = 0;
    size_t end = whole;
    if (whole != 0 && signature[0] != '(') {
        size_t stop = 1;
        while (stop < whole && signature[stop] != '(') ++stop;
        size_t afterBlank = 0;
        for (size_t i = 1; i < stop; ++i) {
            if (signature[i] == ' ') afterBlank = i + 1;
        }
        if (stop > afterBlank) {
            begin = afterBlank;
            end = stop;
        }
    }
    size_t length = end - begin;
    if (length > size - 1) length = size - 1;
    std::memcpy(out, signature + begin, length);
    out[length] = '\0';
}

void CLogger::log(LogMessage::type level, const char* /*context*/, const char* functionSignature, const char* format,
                  ...) {
    char name[kNameBufferSize];
    reduceFunctionName(functionSignature, name, sizeof(name));

    char line[kLineBufferSize];
    int prefix = std::snprintf(line, kLineLimit, "[VavavozaRozoruv] %s: ", name);
    if (prefix < 0) return;
    if (static_cast<unsigned>(prefix) >= kLineLimit) prefix = kLineLimit - 1;

    va_list args;
    va_start(args, format);
    int message = std::vsnprintf(line + prefix, kLineLimit - prefix, format, args);
    va_end(args);
    if (message < 0) return;

    if (level != LogMessage::MESSAGE && level != LogMessage::WARNING && level != LogMessage::ERROR) return;
    std::lock_guard<std::mutex> lock(gLoggerMutex);
    if (gSink != nullptr) gSink(level, line);
}

void CLogger::setSink(Sink sink) {
    std::lock_guard<std::mutex> lock(gLoggerMutex);
    gSink = sink;
}
