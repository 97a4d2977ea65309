// The Zeta message header in memory and its byte layout (see zeta_types.h).
// Pure functions on byte buffers; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/zeta/zeta_types.h"

namespace Zeta {

struct MessageHeader {
    std::uint32_t magic = MESSAGE_MAGIC;
    std::uint32_t typeCode = RESULT_NONE;
    std::uint32_t updateId = 0;
    std::uint16_t requestType = REQUEST_TYPE_NONE;
    std::uint16_t command = COMMAND_NONE;
    std::uint32_t flags = 0;
    SPartyID sender;
    SPartyID receiver;
    std::uint32_t payloadLength = 0;
};

// Writes HEADER_SIZE bytes at `out`.
void writeHeader(std::uint8_t* out, const MessageHeader& header);

// Decodes the header of a received message of `length` bytes. False when the
// message is shorter than a header, the magic is wrong or payloadLength does
// not match the bytes received; `header` is then unspecified.
bool readHeader(const std::uint8_t* message, std::size_t length, MessageHeader& header);

}  // namespace Zeta
