#include "platform/zeta/zeta_message_header.h"

#include <cstring>

namespace Zeta {

namespace {
void put32(std::uint8_t* out, std::size_t offset, std::uint32_t value) { std::memcpy(out + offset, &value, 4); }
void put16(std::uint8_t* out, std::size_t offset, std::uint16_t value) { std::memcpy(out + offset, &value, 2); }
std::uint32_t get32(const std::uint8_t* in, std::size_t offset) {
    std::uint32_t value;
    std::memcpy(&value, in + offset, 4);
    return value;
}
std::uint16_t get16(const std::uint8_t* in, std::size_t offset) {
    std::uint16_t value;
    std::memcpy(&value, in + offset, 2);
    return value;
}
}  // namespace

void writeHeader(std::uint8_t* out, const MessageHeader& header) {
    put32(out, 0, header.magic);
    put32(out, 4, header.typeCode);
    put32(out, 8, header.updateId);
    put16(out, 12, header.requestType);
    put16(out, 14, header.command);
    put32(out, 16, header.flags);
    put32(out, 20, header.sender.processId);
    put32(out, 24, header.sender.clientId);
    put32(out, 28, header.receiver.processId);
    put32(out, 32, header.receiver.clientId);
    put32(out, 36, header.payloadLength);
}

bool readHeader(const std::uint8_t* message, std::size_t length, MessageHeader& header) {
    if (message == nullptr || length < HEADER_SIZE) {
        return false;
    }
    header.magic = get32(message, 0);
    header.typeCode = get32(message, 4);
    header.updateId = get32(message, 8);
    header.requestType = get16(message, 12);
    header.command = get16(message, 14);
    header.flags = get32(message, 16);
    header.sender.processId = get32(message, 20);
    header.sender.clientId = get32(message, 24);
    header.receiver.processId = get32(message, 28);
    header.receiver.clientId = get32(message, 32);
    header.payloadLength = get32(message, 36);
    return header.magic == MESSAGE_MAGIC && header.payloadLength == length - HEADER_SIZE;
}

}  // namespace Zeta
