// Datagram I/O on Zeta's SOCK_SEQPACKET sockets. Thin wrappers that never
// raise SIGPIPE and never block without a bound. Any thread; the caller
// guarantees the descriptor stays open during the call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Zeta {

// A non-blocking, close-on-exec socket connected to `path`; -1 with errno
// set when the service is not there (ENOENT, ECONNREFUSED) or on failure.
int connectTo(const std::string& path);

// A non-blocking listening socket bound to `path`. A stale socket file left
// by a process that died is replaced; any other file at the path is not.
// -1 with errno set on failure.
int listenAt(const std::string& path);

// Whether the process at the other end of a connected socket (for a
// service: the one that listened) runs as this process's effective user or
// as root. Otherwise false, with the reason in *problem.
bool isPeerTrusted(int fd, std::string* problem);

// Sends one datagram. timeoutMs: -1 the default bound
// (DEFAULT_SEND_TIMEOUT_MS), 0 no waiting, >0 milliseconds. Answers 0 or the
// errno value of the failure (ETIMEDOUT when no room appeared in time).
int sendDatagram(int fd, const void* data, std::size_t length, int timeoutMs);

enum ReceiveResult {
    RECEIVE_OK,           // *length bytes in buffer
    RECEIVE_WOULD_BLOCK,  // nothing queued
    RECEIVE_OVERSIZE,     // a datagram larger than the buffer was discarded
    RECEIVE_CLOSED,       // the peer closed the link
    RECEIVE_FAILED,       // *error holds errno
};

// Takes one queued datagram without waiting.
ReceiveResult receiveDatagram(int fd, std::uint8_t* buffer, std::size_t capacity, std::size_t* length,
                              int* error);

}  // namespace Zeta
