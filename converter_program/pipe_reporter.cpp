#include "converter_program/pipe_reporter.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "converter/msg_header.h"

const std::size_t CPipeReporter::sMaxText = PIPE_BUF - sizeof(msgheader);

CPipeReporter::CPipeReporter(int fd) : mFd(fd) {}

CPipeReporter::~CPipeReporter() { close(); }

void CPipeReporter::report(eType type, const std::string& text) {
    // The texts carry their own "Error:" and "Warning:".
    std::fprintf(stderr, "DerazoZoraveMain: %s\n", text.c_str());
    if (mFd < 0) {
        return;
    }
    std::string body = text.empty() ? std::string("-") : text.substr(0, sMaxText);
    msgheader header;
    header.type = static_cast<Int32>(type);
    header.length = static_cast<UInt32>(body.size());
    std::vector<char> message(sizeof header + body.size());
    std::memcpy(message.data(), &header, sizeof header);
    std::memcpy(message.data() + sizeof header, body.data(), body.size());
    if (!writeAll(message.data(), message.size())) {
        std::fprintf(stderr, "DerazoZoraveMain: pipe given up: %s\n", std::strerror(errno));
        ::close(mFd);
        mFd = -1;
    }
}

void CPipeReporter::reportf(eType type, const char* format, ...) {
    char text[PIPE_BUF];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    report(type, text);
}

void CPipeReporter::close() {
    if (mFd >= 0) {
        ::close(mFd);
        mFd = -1;
    }
}

bool CPipeReporter::writeAll(const char* data, std::size_t size) {
    // A pipe write of at most PIPE_BUF bytes is all or nothing; the loop only
    // matters for a descriptor that is not a pipe.
    while (size > 0) {
        ssize_t written = ::write(mFd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}
