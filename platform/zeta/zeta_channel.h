// CZetaChannel: the link of one client to its service, shared between the
// connection thread, which opens and closes it, and any thread that sends.
//
// Every link gets a new handle. A sender names the socket and handle it saw;
// a send on a link that has since been closed (or replaced by a newer one
// whose descriptor may carry the same number) fails with ENOTCONN instead of
// reaching the wrong peer. Ordinary messages need a connected link (the
// service accepted the link set-up); control messages may go out before.
// All operations are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/zeta/zeta_types.h"

class CZetaChannel {
public:
    CZetaChannel();
    ~CZetaChannel();

    CZetaChannel(const CZetaChannel&) = delete;
    CZetaChannel& operator=(const CZetaChannel&) = delete;

    // Connection thread: takes ownership of `fd` as a new, not yet connected
    // link and answers its handle. An older link is closed first.
    std::uint32_t open(int fd);
    // Connection thread: the service accepted the link.
    void setConnected(const SPartyID& own, const SPartyID& server);
    // Closes the link (if any); answers whether it was connected.
    bool close();

    bool isConnected() const;
    int getSocket() const;
    std::uint32_t getHandle() const;
    SPartyID getOwnPartyId() const;
    SPartyID getServerPartyId() const;

    // Sends one datagram on the link (socket, handle). 0 or an errno value.
    // The link stays locked while the send waits for room (bounded by the
    // timeout, see Zeta::sendDatagram).
    int send(int socket, std::uint32_t handle, bool control, const void* data, std::size_t length,
             int timeoutMs);

private:
    mutable std::mutex mMutex;
    int mSocket;
    std::uint32_t mHandle;
    bool mConnected;
    SPartyID mOwn;
    SPartyID mServer;
};
