// CPipeReporter: the converter's side of the message pipe to the plug-in.
//
// Every message goes to the pipe as one 8-byte msgheader (type, text length,
// native byte order) followed by the text without a terminator, written with
// one write(2) of at most PIPE_BUF bytes so that it is never interleaved or
// torn. Texts longer than sMaxText bytes are cut; an empty text is sent as
// "-" because the plug-in takes a zero-length text for the end of the pipe.
// Every message is also written to stderr as one line.
//
// When the plug-in has gone (EPIPE or another write error) the pipe is given
// up silently and later messages only reach stderr. The caller must ignore
// SIGPIPE. One thread only.
#pragma once

#include <cstddef>
#include <string>

class CPipeReporter {
public:
    enum eType { MESSAGE = 0, WARNING = 1, ERROR = 2 };
    static const std::size_t sMaxText;

    // fd: the pipe's write end, or -1 for stderr only. The reporter owns fd.
    explicit CPipeReporter(int fd);
    // close().
    ~CPipeReporter();

    CPipeReporter(const CPipeReporter&) = delete;
    CPipeReporter& operator=(const CPipeReporter&) = delete;

    void report(eType type, const std::string& text);
    // printf-style convenience for report.
    void reportf(eType type, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // Closes the pipe: the plug-in reads the end of the conversion from it
    // and kills this process soon after. Idempotent.
    void close();

private:
    bool writeAll(const char* data, std::size_t size);

    int mFd;
};
