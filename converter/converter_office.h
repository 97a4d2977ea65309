// CConverterOffice: runs one conversion of a received document through the
// converter program and relays the converter's log messages.
//
// convertFile starts the converter with
//   argv[1] source file path
//   argv[2] destination directory (ends with "/") + "index.html"
//   argv[3] the decimal number of the pipe's write end
// and reads messages (msg_header.h) from the pipe's read end until the
// converter closes its end, a read fails or the time limit
// (OFFICE_PLUGINS_TIME_LIMIT, read for every conversion) runs out; then the
// converter is killed. Only the converter's own pipe end is handed to it:
// both ends are close-on-exec in this process, so two conversions running
// at once never hold each other's pipe open.
//
// Reading waits for data with poll(2) bounded by the deadline, so the
// calling thread sleeps while the converter works.
//
// Threads: convertFile runs on the conversion worker; abort and interrupt
// may be called from another thread at any time, also before or during
// convertFile. After either the driver is interrupted for good: a running
// conversion ends within milliseconds and later convertFile calls start no
// converter. interrupt never blocks (the browser's plug-in thread uses it).
//
// A conversion is complete only when the converter closed its end of the
// pipe by itself, within the time limit, uninterrupted, and did not then die
// of a signal nobody here sent (a crash after writing part of its output).
#pragma once

#include <time.h>

#include <atomic>
#include <cstddef>
#include <mutex>

#include "converter/launcher.h"
#include "converter/msg_header.h"
#include "log/logger.h"
#include "platform/qv_string.h"

class CConverterOffice {
public:
    CConverterOffice();
    virtual ~CConverterOffice();

    CConverterOffice(const CConverterOffice&) = delete;
    CConverterOffice& operator=(const CConverterOffice&) = delete;

    // Runs one whole conversion; always returns getEntryPointName(). Whether
    // the converter finished is told by isConversionComplete().
    CQVString convertFile(const CQVString& srcFilePath, const CQVString& dstDirPath);
    // "index.html".
    CQVString getEntryPointName() const;
    // Kills a running converter and interrupts this driver for good.
    void abort();
    // Interrupts this driver for good and has a running converter killed,
    // without waiting for anything: a running convertFile ends soon after.
    void interrupt();
    // True when the last convertFile ran its converter until the converter
    // closed the pipe by itself, with no time limit hit and no abort. A
    // conversion that was cut off never counts, whatever it left behind.
    bool isConversionComplete() const { return mComplete.load(); }

    // Relays messages from fd until the stream ends, fails or the deadline
    // passes. True when it ended because the converter closed its end.
    static bool listen(int fd);
    // Reads one header and its text into the growing buffer (capacity text
    // bytes plus a terminator). A length above sMaxMessageLength, or one
    // that cannot be allocated, fails with EMSGSIZE / ENOMEM and is logged.
    static bool readMessageWithHeader(int fd, bool& streamOpened, const timespec& killTime,
                                      std::size_t& capacity, char*& buffer,
                                      LogMessage::type& type);
    static bool readHeader(int fd, msgheader& header, bool& streamOpened,
                           const timespec& killTime);
    static bool readMessage(int fd, char* buffer, std::size_t size, const timespec& killTime);
    // Reads exactly size bytes before the deadline; false with errno EPIPE
    // (end of stream; one end of stream before any data is tolerated while
    // streamOpened is false), ETIME (deadline), EINVAL (null buffer) or the
    // error of poll/read.
    static bool readMessageData(const timespec& killTime, std::size_t size, int fd, char* buffer,
                                bool& streamOpened);
    // True while the real-time clock is before killTime.
    static bool checktime(const timespec& killTime);
    // startTime = now; killTime = startTime + the time limit rounded up to
    // whole seconds (a limit of 0 or below, or not a number, gives 0).
    static bool getKillTime(timespec& killTime, timespec& startTime);
    static bool getExecutionTime(double& seconds, const timespec& startTime);

    // Initial receive buffer capacity in text bytes.
    static const std::size_t sInitialCapacity = 5120;
    // Longest message text accepted. Messages are log lines (a logged line
    // holds at most 2046 characters), so 1 MiB leaves ample room while
    // keeping a corrupt or hostile length from allocating gigabytes.
    static const UInt32 sMaxMessageLength = 1048576;
    // How long a converter that closed its end of the pipe may take to end
    // by itself before it is killed. Closing the pipe is its last act, but
    // the process takes a moment to be gone.
    static const int sExitGraceMs = 200;

private:
    ILauncher* mLauncher;
    // Makes abort's test and stop one step, so that of two aborts at once
    // the second finds the converter gone and logs nothing.
    std::mutex mAbortMutex;
    std::atomic<bool> mInterrupted;
    std::atomic<bool> mComplete;
};
