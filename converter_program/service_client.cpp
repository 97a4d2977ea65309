#include "converter_program/service_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "converter_program/service_directory.h"
#include "converter_program/service_launcher.h"
#include "converter_program/staging.h"

const int sServiceStartSeconds = 10;
const int sGreetingSeconds = 5;

namespace {

const char sGreeting[] = "rrz-converter-service 1";
// Longest wait for "started": a suite that starts slowly on a busy machine,
// or conversions ahead. Past it a suite of our own is the faster way.
const int sQueueSeconds = 30;
const int sPollMs = 50;
const std::size_t sMaxLine = 4096;

double now() {
    struct timespec time;
    ::clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

// Lines from the service's socket.
class CLineReader {
public:
    enum eRead { eLine, eNothingYet, eClosed };

    void attach(int fd) { mFd = fd; }

    // Waits up to waitMs for a whole line (without its "\n").
    eRead next(std::string& line, int waitMs) {
        for (;;) {
            std::string::size_type end = mBuffer.find('\n');
            if (end != std::string::npos) {
                line = mBuffer.substr(0, end);
                mBuffer.erase(0, end + 1);
                return eLine;
            }
            if (mBuffer.size() > sMaxLine) {
                return eClosed;
            }
            struct pollfd ready = {mFd, POLLIN, 0};
            int polled = ::poll(&ready, 1, waitMs);
            if (polled < 0 && errno == EINTR) {
                continue;
            }
            if (polled == 0) {
                return eNothingYet;
            }
            char chunk[512];
            ssize_t n = polled < 0 ? -1 : ::read(mFd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return eClosed;
            }
            mBuffer.append(chunk, static_cast<std::size_t>(n));
            waitMs = 0;
        }
    }

    // Like next, for up to seconds in all.
    bool within(std::string& line, double seconds) {
        const double deadline = now() + seconds;
        for (;;) {
            double left = deadline - now();
            eRead read = next(line, left > 0 ? static_cast<int>(left * 1000) + 1 : 0);
            if (read != eNothingYet || left <= 0) {
                return read == eLine;
            }
        }
    }

private:
    int mFd = -1;
    std::string mBuffer;
};

class CSocket {
public:
    CSocket() = default;
    ~CSocket() { reset(-1); }
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;
    void reset(int fd) {
        if (mFd >= 0) {
            ::close(mFd);
        }
        mFd = fd;
    }
    int fd() const { return mFd; }

private:
    int mFd = -1;
};

// errno is kept from the failing call.
bool connectTo(const std::string& path, CSocket& socket) {
    struct sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    socket.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd() < 0) {
        return false;
    }
    // A listener whose backlog is full would keep connect waiting.
    struct timeval bound = {2, 0};
    ::setsockopt(socket.fd(), SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    if (::connect(socket.fd(), reinterpret_cast<struct sockaddr*>(&address), sizeof address) == 0) {
        return true;
    }
    int saved = errno;
    socket.reset(-1);
    errno = saved;
    return false;
}

bool nobodyListens(int error) { return error == ENOENT || error == ECONNREFUSED; }

// Connects to the service in dir and takes its greeting; with launch, starts
// one when nothing listens. False with a reason.
bool openService(const tConverterSettings& settings, bool launch, CSocket& socket, CLineReader& reader,
                 bool& launched, std::string& reason) {
    if (!NServiceDirectory::prepare(settings.serviceDir, reason)) {
        return false;
    }
    const std::string path = settings.serviceDir + "socket";
    if (path.size() >= sizeof(sockaddr_un::sun_path)) {
        reason = "the socket path " + path + " is too long";
        return false;
    }
    bool connected = connectTo(path, socket);
    int error = errno;
    if (!connected && launch && nobodyListens(error)) {
        pid_t service = launchService(settings);
        if (service < 0) {
            reason = std::string("can't start the service: ") + std::strerror(errno);
            return false;
        }
        launched = true;
        const double deadline = now() + sServiceStartSeconds;
        bool runs = true;
        while (!connected && nobodyListens(error) && runs && now() < deadline) {
            ::usleep(10000);
            runs = serviceProcessRuns(service);
            // Once more after it ended: it may have left to one that serves.
            connected = connectTo(path, socket);
            error = errno;
        }
    }
    if (!connected) {
        reason = "can't connect to " + path + ": " + std::strerror(error);
        return false;
    }
    reader.attach(socket.fd());
    struct ucred peer;
    socklen_t size = sizeof peer;
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid()) {
        reason = path + " is served by another user";
        return false;
    }
    std::string greeting;
    if (!reader.within(greeting, sGreetingSeconds) || greeting != sGreeting) {
        reason = path + " is not served by the office suite service";
        return false;
    }
    return true;
}

bool sendRequest(int fd, const std::string& request) {
    std::size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::string field(const std::string& text) { return text + '\0'; }

// Gives up a conversion the service runs: it kills the suite when it sees
// the end of the request stream, and then closes the connection. Waiting
// for that keeps the killed suite from writing into a directory the caller
// is about to remove.
void withdraw(const CSocket& socket, CLineReader& reader) {
    ::shutdown(socket.fd(), SHUT_WR);
    std::string line;
    const double deadline = now() + sGreetingSeconds;
    while (reader.next(line, sPollMs) != CLineReader::eClosed && now() < deadline) {
    }
}

}  // namespace

tServiceResult exportWithService(const tConverterSettings& settings, const std::vector<std::string>& environment,
                                 const std::string& stagingDir) {
    tServiceResult result;
    CSocket socket;
    CLineReader reader;
    if (!openService(settings, true, socket, reader, result.started, result.status)) {
        return result;
    }
    std::string request = field("convert") + field(std::to_string(settings.timeLimit));
    for (const std::string& entry : environment) {
        if (entry.compare(0, 4, "RRZ_") == 0 && entry.find('\0') == std::string::npos) {
            request += field(entry);
        }
    }
    if (!sendRequest(socket.fd(), request + '\0')) {
        result.status = std::string("can't send the request: ") + std::strerror(errno);
        return result;
    }
    const double queueDeadline = now() + sQueueSeconds;
    double deadline = 0;  // once started
    for (;;) {
        std::string line;
        CLineReader::eRead read = reader.next(line, sPollMs);
        if (read == CLineReader::eClosed) {
            result.status = "the service closed the connection";
            return result;
        }
        if (read == CLineReader::eLine) {
            if (line == "started") {
                deadline = now() + settings.timeLimit;
            } else if (line.compare(0, 3, "ok ") == 0 || line.compare(0, 6, "error ") == 0) {
                result.outcome = eServiceExported;
                result.status = line;
                break;
            } else if (line.compare(0, 7, "queued ") != 0) {
                result.status = "the service answered: " + line;
                return result;
            }
        }
        unsigned long long size = 0;
        NStaging::treeSize(stagingDir, size);
        result.outputSize = size;
        if (size > settings.outputLimit) {
            withdraw(socket, reader);
            result.outcome = eServiceTooLarge;
            return result;
        }
        if (deadline == 0 && now() > queueDeadline) {
            result.status = "not started within " + std::to_string(sQueueSeconds) + " s";
            return result;
        }
        if (deadline != 0 && now() > deadline) {
            withdraw(socket, reader);
            result.outcome = eServiceTimedOut;
            return result;
        }
    }
    unsigned long long size = 0;
    NStaging::treeSize(stagingDir, size);
    result.outputSize = size;
    if (size > settings.outputLimit) {
        result.outcome = eServiceTooLarge;
    }
    return result;
}

std::string askService(const std::string& serviceDir, const std::string& request) {
    tConverterSettings settings;
    settings.serviceDir = serviceDir;
    CSocket socket;
    CLineReader reader;
    bool launched = false;
    std::string line;
    if (!openService(settings, false, socket, reader, launched, line) ||
        !sendRequest(socket.fd(), field(request) + '\0') || !reader.within(line, sGreetingSeconds)) {
        return std::string();
    }
    return line;
}
