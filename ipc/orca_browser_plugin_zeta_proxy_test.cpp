// The proxy's decoder driven with plain byte buffers, as the controller (or
// a broken controller) would send them.
#include "ipc/orca_browser_plugin_zeta_proxy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ipc/ipc_test_support.h"

namespace {

using namespace OrcaBrowserPlugin;
typedef std::vector<std::uint8_t> Bytes;

class RecordingProxy : public COrcaBrowserPluginZetaProxy {
public:
    RecordingProxy() : COrcaBrowserPluginZetaProxy("TestRole") {}

    void componentConnected() override {}
    void componentDisconnected() override {}
    void onConfigPathUpdate(const CQVString& path, Zeta::DataStateType state) override {
        calls.push_back("config " + std::string(path.c_str()) + " " + std::to_string(state));
    }
    void requestRegisterFailed(Zeta::ResultType type) override { failed("register", type); }
    void requestSetWindowFailed(Zeta::ResultType type) override { failed("setWindow", type); }
    void requestKeyEventFailed(Zeta::ResultType type) override { failed("key", type); }
    void requestMouseEventFailed(Zeta::ResultType type) override { failed("mouse", type); }
    void requestButtonEventFailed(Zeta::ResultType type) override { failed("button", type); }
    void requestDataAvailableEventFailed(Zeta::ResultType type) override { failed("data", type); }
    void requestDeregisterFailed(Zeta::ResultType type) override { failed("deregister", type); }
    void responseInvalid(UpdateIdEnum id) override { calls.push_back("invalid " + std::to_string(id)); }
    void responseRegister(unsigned int id, eResult result) override {
        calls.push_back("register " + std::to_string(id) + " " + std::to_string(result));
    }
    void responseSetWindow(eResult result) override { answer("setWindow", result); }
    void responseKeyEvent(eResult result) override { answer("key", result); }
    void responseMouseEvent(eResult result) override { answer("mouse", result); }
    void responseButtonEvent(eResult result) override { answer("button", result); }
    void responseDeregister(eResult result) override { answer("deregister", result); }
    void responseDataAvailableEvent(eResult result) override { answer("data", result); }

    void feed(const Bytes& message) {
        CZetaIStream in;
        in.assign(message.data(), message.size());
        processResponse(in);
    }

    std::vector<std::string> calls;

private:
    void failed(const char* what, Zeta::ResultType type) {
        calls.push_back(std::string(what) + " failed " + std::to_string(type));
    }
    void answer(const char* what, eResult result) { calls.push_back(std::string(what) + " " + std::to_string(result)); }
};

Bytes withResult(std::uint32_t id, std::uint32_t result) {
    return controllerMessage(512, id, [&](CZetaOStream& out) { ZetaWriteUInt32(out, result); });
}

Bytes configPath(std::uint32_t typeCode, const char* path) {
    return controllerMessage(typeCode, UPD_ID_ConfigPath, [&](CZetaOStream& out) {
        if (path != nullptr) ZetaWriteString(out, path);
    });
}

// `message` with its payload cut to `payload` bytes and the header saying so.
Bytes cut(Bytes message, std::size_t payload) {
    message.resize(Zeta::HEADER_SIZE + payload);
    const std::uint32_t length = static_cast<std::uint32_t>(payload);
    std::memcpy(message.data() + 36, &length, 4);
    return message;
}

TEST(OrcaProxyDecoding, RegisterAnswerCarriesInstanceIdAndResult) {
    RecordingProxy proxy;
    proxy.feed(controllerMessage(512, UPD_ID_responseRegister, [](CZetaOStream& out) {
        ZetaWriteUInt32(out, 7);
        ZetaWriteUInt32(out, 0);
    }));
    EXPECT_EQ(std::vector<std::string>{"register 7 0"}, proxy.calls);
}

TEST(OrcaProxyDecoding, RegisterAnswerWithoutResultIsDropped) {
    RecordingProxy proxy;
    proxy.feed(controllerMessage(512, UPD_ID_responseRegister, [](CZetaOStream& out) { ZetaWriteUInt32(out, 7); }));
    EXPECT_TRUE(proxy.calls.empty());
}

TEST(OrcaProxyDecoding, EachAnswerReachesItsCallbackInIdOrder) {
    RecordingProxy proxy;
    for (std::uint32_t id = 0x80000001u; id <= 0x80000006u; ++id) proxy.feed(withResult(id, id - 0x80000000u + 10));
    EXPECT_EQ((std::vector<std::string>{"setWindow 11", "key 12", "mouse 13", "button 14", "deregister 15", "data 16"}),
              proxy.calls);
}

TEST(OrcaProxyDecoding, AnswerWithoutPayloadIsDropped) {
    RecordingProxy proxy;
    for (std::uint32_t id = 0x80000000u; id <= 0x80000006u; ++id) proxy.feed(controllerMessage(512, id));
    EXPECT_TRUE(proxy.calls.empty());
}

TEST(OrcaProxyDecoding, TypeCode513IsAnInvalidAnswerWhateverTheId) {
    RecordingProxy proxy;
    proxy.feed(controllerMessage(513, UPD_ID_requestKeyEvent));
    proxy.feed(withResult(UPD_ID_responseSetWindow, 0) /* normal */);
    Bytes invalidAnswer = withResult(UPD_ID_responseSetWindow, 0);
    const std::uint32_t type = 513;
    std::memcpy(invalidAnswer.data() + 4, &type, 4);
    proxy.feed(invalidAnswer);
    EXPECT_EQ((std::vector<std::string>{"invalid 2", "setWindow 0", "invalid 2147483649"}), proxy.calls);
}

TEST(OrcaProxyDecoding, RequestIdsComingBackReportFailureWithTheTypeCode) {
    RecordingProxy proxy;
    for (std::uint32_t id = 0; id <= 6; ++id) proxy.feed(controllerMessage(516, id));
    EXPECT_EQ((std::vector<std::string>{"register failed 516", "setWindow failed 516", "key failed 516",
                                        "mouse failed 516", "button failed 516", "data failed 516",
                                        "deregister failed 516"}),
              proxy.calls);
}

TEST(OrcaProxyDecoding, ConfigPathValidThenInvalidKeepsThePreviousPath) {
    RecordingProxy proxy;
    EXPECT_EQ(Zeta::DATA_STATE_UNKNOWN, proxy.getConfigPathState());
    proxy.feed(configPath(514, "/etc/a.conf"));
    EXPECT_EQ(Zeta::DATA_STATE_VALID, proxy.getConfigPathState());
    EXPECT_EQ(CQVString("/etc/a.conf"), proxy.getConfigPathCopy());
    proxy.feed(configPath(515, nullptr));
    EXPECT_EQ(Zeta::DATA_STATE_INVALID, proxy.getConfigPathState());
    EXPECT_EQ((std::vector<std::string>{"config /etc/a.conf 2", "config /etc/a.conf 1"}), proxy.calls);
}

TEST(OrcaProxyDecoding, ConfigPathCutShortIsNeitherReportedNorValid) {
    RecordingProxy proxy;
    proxy.feed(configPath(514, "/etc/a.conf"));
    proxy.calls.clear();
    proxy.feed(cut(configPath(514, "/etc/longer/path.conf"), 9));
    EXPECT_TRUE(proxy.calls.empty());
    EXPECT_EQ(Zeta::DATA_STATE_INVALID, proxy.getConfigPathState());
    EXPECT_TRUE(proxy.getConfigPathCopy().isEmpty());
}

TEST(OrcaProxyDecoding, UnknownIdsAndBrokenHeadersAreIgnored) {
    RecordingProxy proxy;
    for (std::uint32_t id : {7u, 0x7FFFFFFFu, 0x80000007u, 0xC0000001u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        proxy.feed(withResult(id, 0));
    }
    Bytes broken = withResult(UPD_ID_responseKeyEvent, 0);
    broken.pop_back();  // the header's length no longer matches
    proxy.feed(broken);
    proxy.feed(Bytes{1, 2, 3});
    proxy.feed(Bytes());
    EXPECT_TRUE(proxy.calls.empty());
}

// Every message cut at every length (header adjusted, so the decoder sees
// it): only complete answers produce a callback. Under AddressSanitizer this
// also proves no read beyond the received bytes.
TEST(OrcaProxyDecoding, EveryTruncationIsHandledWithoutReadingPastTheEnd) {
    std::vector<Bytes> messages = {
        controllerMessage(512, UPD_ID_responseRegister,
                          [](CZetaOStream& out) {
                              ZetaWriteUInt32(out, 3);
                              ZetaWriteUInt32(out, 0);
                          }),
        withResult(UPD_ID_responseMouseEvent, 1),
        configPath(514, "/a/b/c"),
    };
    for (const Bytes& message : messages) {
        const std::size_t whole = message.size() - Zeta::HEADER_SIZE;
        for (std::size_t length = 0; length <= whole; ++length) {
            RecordingProxy proxy;
            Bytes exact = cut(message, length);
            // Copy into a buffer of exactly that size so that any over-read
            // is caught.
            proxy.feed(Bytes(exact.begin(), exact.end()));
            EXPECT_EQ(length == whole ? 1u : 0u, proxy.calls.size()) << "length " << length;
        }
    }
}

TEST(OrcaProxyRequests, NothingIsSentWhileNotConnected) {
    RecordingProxy proxy;
    EXPECT_EQ(-1, proxy.requestRegister("d", "m", TQVVector<tNameValuePair>(), 1));
    EXPECT_EQ(-1, proxy.requestSetWindow(0, 1, 2, 3, 4));
    EXPECT_EQ(-1, proxy.requestKeyEvent(0, 1));
    EXPECT_EQ(-1, proxy.requestMouseEvent(0, 1, 2, 3));
    EXPECT_EQ(-1, proxy.requestButtonEvent(0, 1));
    EXPECT_EQ(-1, proxy.requestDataAvailableEvent(0, "x"));
    EXPECT_EQ(-1, proxy.requestDeregister(0));
    EXPECT_STREQ("UPD_ID_responseKeyEvent", proxy.getUpdateIDString(0x80000002u));
}

}  // namespace
