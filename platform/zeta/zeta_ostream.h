// CZetaOStream: one Zeta message being built, then sent.
//
// The constructor reserves the header; fields are appended at the write
// position (which is also the message's end) with write(), or by codecs that
// grow the buffer through setCapacity() and move the position. Once the
// error word is set nothing more is written and send() sends nothing.
// Belongs to the thread that built it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/zeta/zeta_message_header.h"
#include "platform/zeta/zeta_stream_base.h"

class CZetaChannel;

class CZetaOStream : public CZetaStreamBase {
public:
    // channel, socket and handle name the link the message goes out on (a
    // client's getChannel(), getSocket(), getHandle()). channel may be null:
    // the message is then sent straight on `socket` (service side).
    CZetaOStream(CZetaChannel* channel, int socket, std::uint32_t handle, Zeta::RequestType requestType,
                 Zeta::Command command, std::uint32_t updateId, const SPartyID& sender, const SPartyID& receiver,
                 std::uint32_t flags);

    // Service answers carry a type code.
    void setTypeCode(std::uint32_t typeCode) { mHeader.typeCode = typeCode; }
    const Zeta::MessageHeader& getHeader() const { return mHeader; }

    // Appends `length` bytes at the position. False (error word set) when
    // the message would grow too large or an error is already set.
    bool write(const void* data, std::size_t length);

    // Fills in the header (payload length included) without sending: the
    // buffer then holds the message exactly as send() would transmit it.
    void sealHeader();

    // Fills in the header and sends the message as one datagram. timeoutMs:
    // -1 waits up to Zeta::DEFAULT_SEND_TIMEOUT_MS for room, 0 not at all.
    // True when sent. The status word then holds 0, otherwise an errno value
    // (ENOTCONN: the link is gone; the stream's own error when it has one).
    bool send(int timeoutMs);
    // Fills in the header and hands the message to the link's outgoing
    // queue (CZetaChannel::post), which the connection thread sends in
    // order; never waits. discardable: an input event that may be dropped
    // when the service does not read. True when queued; the status word as
    // for send() (ENOBUFS: dropped). Without a channel it is send(0).
    bool post(bool discardable);
    int getStatus() const { return mStatus; }

private:
    CZetaChannel* mChannel;
    int mSocket;
    std::uint32_t mHandle;
    Zeta::MessageHeader mHeader;
    int mStatus;
};
