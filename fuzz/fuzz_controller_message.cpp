// Fuzzes the controller message decoder, processResponse of the proxy.
// Input: byte 0 even: the rest is a whole message as it came off the socket
// (mostly refused by the header check). Odd: type code and update id (native
// order, 8 bytes), then the payload, behind a well-formed header, so that
// the decoder proper sees every input.
#include <cstdint>
#include <cstring>
#include <vector>

#include "ipc/orca_browser_plugin_zeta_proxy.h"
#include "platform/zeta/zeta_istream.h"
#include "platform/zeta/zeta_message_header.h"

namespace {
// Every callback is a no-op; a decoded path is read whole.
struct FuzzProxy : COrcaBrowserPluginZetaProxy {
    FuzzProxy() : COrcaBrowserPluginZetaProxy("FuzzRole") {}
    void componentConnected() override {}
    void componentDisconnected() override {}
    void onConfigPathUpdate(const CQVString& path, Zeta::DataStateType) override { touch(path); }
    static void touch(const CQVString& path) { volatile std::size_t length = std::strlen(path.c_str()); (void)length; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzProxy* proxy = new FuzzProxy;
    std::vector<std::uint8_t> message;
    if (size >= 1 && (data[0] & 1) == 0) {
        message.assign(data + 1, data + size);
    } else if (size >= 9) {
        Zeta::MessageHeader header;
        std::memcpy(&header.typeCode, data + 1, 4);
        std::memcpy(&header.updateId, data + 5, 4);
        header.payloadLength = static_cast<std::uint32_t>(size - 9);
        message.resize(Zeta::HEADER_SIZE);
        Zeta::writeHeader(message.data(), header);
        message.insert(message.end(), data + 9, data + size);
    } else {
        return 0;
    }
    CZetaIStream in;
    in.assign(message.data(), message.size());
    proxy->processResponse(in);
    FuzzProxy::touch(proxy->getConfigPathCopy());
    return 0;
}
