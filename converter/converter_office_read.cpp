// The reading side of CConverterOffice: messages, the deadline and the clock.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "converter/converter_office.h"
#include "params/office_plugin_params.h"

namespace {

// Longest single wait, so that a step of the real-time clock is noticed.
const Int64 kMaxWaitMs = 1000;

// Milliseconds from now until killTime, rounded up, 0 when it has passed or
// the clock cannot be read, at most kMaxWaitMs.
int millisecondsUntil(const timespec& killTime) {
    timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return 0;
    }
    Int64 ns = (static_cast<Int64>(killTime.tv_sec) - now.tv_sec) * 1000000000LL +
               (static_cast<Int64>(killTime.tv_nsec) - now.tv_nsec);
    if (ns <= 0) {
        return 0;
    }
    Int64 ms = (ns + 999999) / 1000000;
    return static_cast<int>(ms < kMaxWaitMs ? ms : kMaxWaitMs);
}

}  // namespace

bool CConverterOffice::readMessageWithHeader(int fd, bool& streamOpened, const timespec& killTime,
                                             std::size_t& capacity, char*& buffer,
                                             LogMessage::type& type) {
    msgheader header;
    if (!readHeader(fd, header, streamOpened, killTime)) {
        int error = errno;
        QV_LOG(LogMessage::MESSAGE, "read Header: %s", strerror(error));
        errno = error;
        return false;
    }
    if (header.length > sMaxMessageLength) {
        QV_LOG(LogMessage::ERROR, "message length %u is above the limit of %u bytes",
               static_cast<unsigned>(header.length), static_cast<unsigned>(sMaxMessageLength));
        errno = EMSGSIZE;
        return false;
    }
    if (header.length > capacity) {
        char* larger = new (std::nothrow) char[static_cast<std::size_t>(header.length) + 1];
        if (larger == nullptr) {
            QV_LOG(LogMessage::ERROR, "Can't allocate %u bytes for a message",
                   static_cast<unsigned>(header.length) + 1);
            errno = ENOMEM;
            return false;
        }
        delete[] buffer;
        buffer = larger;
        capacity = header.length;
    }
    if (!readMessage(fd, buffer, header.length, killTime)) {
        int error = errno;
        QV_LOG(LogMessage::MESSAGE, "read Message: %s", strerror(error));
        errno = error;
        return false;
    }
    buffer[header.length] = '\0';
    // Values outside the enumeration's range must not be stored in it; the
    // caller drops everything but 0..2 anyway.
    type = header.type >= LogMessage::MESSAGE && header.type <= LogMessage::ERROR
               ? static_cast<LogMessage::type>(header.type)
               : static_cast<LogMessage::type>(3);
    return true;
}

bool CConverterOffice::readHeader(int fd, msgheader& header, bool& streamOpened,
                                  const timespec& killTime) {
    return readMessageData(killTime, sizeof(header), fd, reinterpret_cast<char*>(&header),
                           streamOpened);
}

bool CConverterOffice::readMessage(int fd, char* buffer, std::size_t size,
                                   const timespec& killTime) {
    bool streamOpened = true;
    return readMessageData(killTime, size, fd, buffer, streamOpened);
}

bool CConverterOffice::readMessageData(const timespec& killTime, std::size_t size, int fd,
                                       char* buffer, bool& streamOpened) {
    if (buffer == nullptr) {
        QV_LOG(LogMessage::ERROR, "buffer is NULL");
        errno = EINVAL;
        return false;
    }
    if (!checktime(killTime)) {
        errno = ETIME;
        return false;
    }
    if (size == 0) {
        // An empty text: nothing to wait for.
        return true;
    }
    std::size_t bytesRead = 0;
    for (;;) {
        int failure = 0;
        struct pollfd watched;
        watched.fd = fd;
        watched.events = POLLIN;
        watched.revents = 0;
        int ready = poll(&watched, 1, millisecondsUntil(killTime));
        if (ready < 0) {
            if (errno != EINTR) {
                failure = errno;
            }
        } else if (ready > 0) {
            ssize_t got = read(fd, buffer + bytesRead, size - bytesRead);
            if (got < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    streamOpened = true;
                } else {
                    failure = errno;
                }
            } else if (got == 0) {
                if (streamOpened) {
                    failure = EPIPE;
                } else {
                    streamOpened = true;
                }
            } else {
                bytesRead += static_cast<std::size_t>(got);
                streamOpened = true;
            }
        }
        if (!checktime(killTime)) {
            errno = ETIME;
            return bytesRead == size;
        }
        if (failure != 0) {
            errno = failure;
            return false;
        }
        if (bytesRead == size) {
            return true;
        }
    }
}

bool CConverterOffice::checktime(const timespec& killTime) {
    timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        QV_LOG(LogMessage::ERROR, "clock_gettime: %s", strerror(errno));
        return false;
    }
    return now.tv_sec < killTime.tv_sec ||
           (now.tv_sec == killTime.tv_sec && now.tv_nsec < killTime.tv_nsec);
}

bool CConverterOffice::getKillTime(timespec& killTime, timespec& startTime) {
    double limit =
        COfficePluginParams::getInstance()->getDoubleValue(COfficePluginParams::TIME_LIMIT);
    if (clock_gettime(CLOCK_REALTIME, &startTime) != 0) {
        QV_LOG(LogMessage::ERROR, "clock_gettime: %s", strerror(errno));
        return false;
    }
    // Not-a-number and negative limits fail "limit > 0" and give 0.
    UInt32 seconds = 0;
    if (limit > 0) {
        double rounded = std::ceil(limit);
        seconds = rounded >= 4294967295.0 ? 4294967295u : static_cast<UInt32>(rounded);
    }
    killTime = startTime;
    // Where time_t has 32 bits a large limit would wrap the deadline into
    // the past; the latest representable second stands in for it then.
    const time_t latest = std::numeric_limits<time_t>::max();
    if (static_cast<UInt64>(seconds) > static_cast<UInt64>(latest - startTime.tv_sec)) {
        killTime.tv_sec = latest;
    } else {
        killTime.tv_sec += static_cast<time_t>(seconds);
    }
    return true;
}

bool CConverterOffice::getExecutionTime(double& seconds, const timespec& startTime) {
    timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        QV_LOG(LogMessage::ERROR, "clock_gettime: %s", strerror(errno));
        return false;
    }
    seconds = static_cast<double>(now.tv_sec - startTime.tv_sec) +
              static_cast<double>(now.tv_nsec - startTime.tv_nsec) / 1000000000.0;
    return true;
}
