#include "platform/zeta/zeta_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/zeta/zeta_types.h"

namespace Zeta {

namespace {
bool fillAddress(const std::string& path, sockaddr_un& address) {
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int newSocket() { return socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

void closeKeepingErrno(int fd) {
    int saved = errno;
    close(fd);
    errno = saved;
}
}  // namespace

int connectTo(const std::string& path) {
    sockaddr_un address;
    if (!fillAddress(path, address)) return -1;
    int fd = newSocket();
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        closeKeepingErrno(fd);
        return -1;
    }
    return fd;
}

int listenAt(const std::string& path) {
    sockaddr_un address;
    if (!fillAddress(path, address)) return -1;
    int fd = newSocket();
    if (fd < 0) return -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        if (errno != EADDRINUSE) {
            closeKeepingErrno(fd);
            return -1;
        }
        // Someone answering there is a live service; a socket file nobody
        // listens on is left over from a process that ended.
        struct stat status;
        int probe = connectTo(path);
        if (probe >= 0) {
            close(probe);
            close(fd);
            errno = EADDRINUSE;
            return -1;
        }
        if (lstat(path.c_str(), &status) != 0 || !S_ISSOCK(status.st_mode) || unlink(path.c_str()) != 0 ||
            bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            if (errno == ENOENT || errno == 0) errno = EADDRINUSE;
            closeKeepingErrno(fd);
            return -1;
        }
    }
    if (listen(fd, 16) != 0) {
        closeKeepingErrno(fd);
        return -1;
    }
    return fd;
}

bool isPeerTrusted(int fd, std::string* problem) {
    ucred credentials;
    socklen_t length = sizeof(credentials);
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
        *problem = std::string("no peer credentials: ") + strerror(errno);
        return false;
    }
    if (credentials.uid == geteuid() || credentials.uid == 0) return true;
    *problem = "served by user " + std::to_string(static_cast<unsigned long>(credentials.uid)) + " (process " +
               std::to_string(static_cast<long>(credentials.pid)) + ")";
    return false;
}

int sendDatagram(int fd, const void* data, std::size_t length, int timeoutMs) {
    if (timeoutMs < 0) timeoutMs = DEFAULT_SEND_TIMEOUT_MS;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ssize_t sent = send(fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0) {
            return static_cast<std::size_t>(sent) == length ? 0 : EMSGSIZE;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return errno;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) return ETIMEDOUT;
        pollfd entry{fd, POLLOUT, 0};
        if (poll(&entry, 1, static_cast<int>(left)) < 0 && errno != EINTR) return errno;
    }
}

ReceiveResult receiveDatagram(int fd, std::uint8_t* buffer, std::size_t capacity, std::size_t* length, int* error) {
    // A peer that closes its end while answers to it are still unread makes
    // the next receive here fail with ECONNRESET once, even though messages
    // it sent before closing are still queued (its last request, say). The
    // error is consumed by that receive: read on until the queue is empty.
    bool reset = false;
    for (;;) {
        iovec part{buffer, capacity};
        msghdr message;
        std::memset(&message, 0, sizeof(message));
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        ssize_t received = recvmsg(fd, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (received < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return reset ? RECEIVE_CLOSED : RECEIVE_WOULD_BLOCK;
            if (errno == ECONNRESET && !reset) {
                reset = true;
                continue;
            }
            if (errno == ECONNRESET || errno == EPIPE) return RECEIVE_CLOSED;
            *error = errno;
            return RECEIVE_FAILED;
        }
        if (received == 0) return RECEIVE_CLOSED;
        if (message.msg_flags & MSG_TRUNC) return RECEIVE_OVERSIZE;
        *length = static_cast<std::size_t>(received);
        return RECEIVE_OK;
    }
}

}  // namespace Zeta
