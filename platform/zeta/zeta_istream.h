// CZetaIStream: one received Zeta message.
//
// assign() copies a datagram and decodes its header; it works on any plain
// byte buffer, so decoders built on this stream can be driven without a
// socket. The read position starts right after the header. read() never
// touches a byte past the received length: a read that would sets the error
// word to ERANGE (34) and every later read fails at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/zeta/zeta_message_header.h"
#include "platform/zeta/zeta_stream_base.h"

class CZetaIStream : public CZetaStreamBase {
public:
    CZetaIStream();

    // False (stream invalid, error EBADMSG, nothing readable) when the bytes
    // do not start with a well-formed header whose payload length matches
    // `length`; EMSGSIZE when `length` exceeds MAX_MESSAGE_SIZE.
    bool assign(const void* message, std::size_t length);

    bool isValid() const { return mValid; }
    const Zeta::MessageHeader& getHeader() const { return mHeader; }
    std::uint32_t getTypeCode() const { return mHeader.typeCode; }
    std::uint32_t getUpdateId() const { return mHeader.updateId; }
    Zeta::RequestType getRequestType() const { return static_cast<Zeta::RequestType>(mHeader.requestType); }
    Zeta::Command getCommand() const { return static_cast<Zeta::Command>(mHeader.command); }
    const SPartyID& getSender() const { return mHeader.sender; }
    const SPartyID& getReceiver() const { return mHeader.receiver; }

    // Copies `length` bytes from the position and advances it. Usable from
    // const decoders: the position and error word are the reading state,
    // not the message.
    bool read(void* out, std::size_t length) const;
    // Advances the position by `length` bytes without copying them.
    bool skip(std::size_t length) const;
    // The received bytes at the position; remaining() of them are readable.
    const std::uint8_t* current() const { return mBuffer + mPosition; }
    // Rounds the position up to a multiple of `multiple`; ERANGE when that
    // passes the end of the message.
    bool align(std::size_t multiple) const;
    // Bytes left after the position.
    std::size_t remaining() const;

private:
    CZetaIStream& self() const { return const_cast<CZetaIStream&>(*this); }

    Zeta::MessageHeader mHeader;
    bool mValid;
};
