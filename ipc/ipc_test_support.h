// Helpers for the controller IPC tests: messages as the controller would
// send them, built from fields.
#pragma once

#include <cstdint>
#include <vector>

#include "ipc/orca_browser_plugin_codec.h"
#include "platform/zeta/zeta_ostream.h"

// An answer or notification from the controller: `fill` writes the payload.
template <typename Fill>
std::vector<std::uint8_t> controllerMessage(std::uint32_t typeCode, std::uint32_t updateId, Fill fill) {
    CZetaOStream out(nullptr, -1, 0, Zeta::REQUEST_TYPE_NONE, Zeta::COMMAND_INVOKE, updateId, SPartyID{1, 0},
                     SPartyID{2, 1}, 0);
    out.setTypeCode(typeCode);
    fill(out);
    out.sealHeader();
    return std::vector<std::uint8_t>(out.getBuffer(), out.getBuffer() + out.getSize());
}

inline std::vector<std::uint8_t> controllerMessage(std::uint32_t typeCode, std::uint32_t updateId) {
    return controllerMessage(typeCode, updateId, [](CZetaOStream&) {});
}

// The bytes of a stream after its header.
inline std::vector<std::uint8_t> payloadOf(const CZetaStreamBase& stream) {
    return std::vector<std::uint8_t>(stream.getBuffer() + Zeta::HEADER_SIZE, stream.getBuffer() + stream.getSize());
}

// Little helpers to spell expected payloads byte by byte.
inline void appendU32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
inline void appendText(std::vector<std::uint8_t>& bytes, const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') ++length;
    appendU32(bytes, length == 0 ? 0 : static_cast<std::uint32_t>(length + 1));
    if (length != 0) bytes.insert(bytes.end(), text, text + length + 1);
    while (bytes.size() % 4 != 0) bytes.push_back(0);  // the next field's padding
}
