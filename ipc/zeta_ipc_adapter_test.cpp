// The adapter on its own: what it makes of the controller's messages (fed
// as byte buffers, as a controller or a broken one would send them), a
// refused proxy, a missing consumer, the browser id, its connection thread,
// its fixed log texts, and the size registrations are fitted by. Round trips with a controller
// live with the controller stand-in.
#include "ipc/zeta_ipc_adapter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ipc/controller_role.h"
#include "ipc/ipc_test_support.h"
#include "ipc/register_message_fit.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace NPluginsIPCCommunications;
using namespace OrcaBrowserPlugin;
typedef std::vector<std::uint8_t> Bytes;

Bytes answer(std::uint32_t typeCode, std::uint32_t id, const std::vector<std::uint32_t>& words) {
    return controllerMessage(typeCode, id, [&](CZetaOStream& out) {
        for (std::uint32_t word : words) ZetaWriteUInt32(out, word);
    });
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

int failingStart(CQVThreadCtrl::IRunnable&, bool, int, int) {
    errno = EAGAIN;
    return 0;
}

class ZetaIPCAdapterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(runtime.ok()); }
    void TearDown() override {
        CZetaThread::setStartThreadFunction(nullptr);
        setControllerRoleName("BrowserPluginCtrl");
        unsetenv("QV_BROWSER_ID");
    }
    // What reaches the consumer from one message.
    std::vector<std::string> feed(CZetaIPCAdapter& adapter, const Bytes& message) {
        const std::size_t before = consumer.answers().size();
        CZetaIStream in;
        in.assign(message.data(), message.size());
        adapter.processResponse(in);
        const std::vector<std::string> after = consumer.answers();
        return std::vector<std::string>(after.begin() + static_cast<long>(before), after.end());
    }

    ScopedZetaRuntime runtime;
    LogCapture capture;
    TestConsumer consumer;
};

// What the controller sends that is refused, unknown or not whole reaches
// no callback; a path that did not arrive whole is never valid and leaves
// nothing behind. (Each answer reaching its own callback is pinned by the
// controller round trip.)
TEST_F(ZetaIPCAdapterTest, OnlyWholeAnswersAndValidPathsReachTheConsumer) {
    struct Row {
        std::string name;
        Bytes message;
        std::vector<std::string> calls;
    };
    const std::vector<Row> rows = {
        {"register answer", answer(512, UPD_ID_responseRegister, {7, 0}), {"register 0"}},
        {"register answer without result", answer(512, UPD_ID_responseRegister, {9}), {}},
        {"invalid (513)", answer(513, UPD_ID_responseKeyEvent, {0}), {}},
        {"failed (516)", answer(516, UPD_ID_requestKeyEvent, {}), {}},
        {"unknown id", answer(512, 0x80000007u, {0}), {}},
        {"valid config path", configPath(514, "/etc/a.conf"), {"config /etc/a.conf"}},
        {"invalid config path", configPath(515, nullptr), {}},
        {"config path cut short", cut(configPath(514, "/etc/a.conf"), 9), {}},
    };
    CZetaIPCAdapter adapter(&consumer);
    for (const Row& row : rows) EXPECT_EQ(row.calls, feed(adapter, row.message)) << row.name;
    EXPECT_EQ(7u, adapter.getInstanceId());
    EXPECT_FALSE(adapter.isConfigPathValid());
    EXPECT_TRUE(adapter.getConfigPath().isEmpty());
    // Every message cut at every length: only the whole one gets through.
    for (const Bytes& message : {answer(512, UPD_ID_responseRegister, {3, 0}),
                                 answer(512, UPD_ID_responseMouseEvent, {1}), configPath(514, "/a/b/c")}) {
        const std::size_t whole = message.size() - Zeta::HEADER_SIZE;
        for (std::size_t length = 0; length <= whole; ++length) {
            EXPECT_EQ(length == whole ? 1u : 0u, feed(adapter, cut(message, length)).size()) << length;
        }
    }
}

// A proxy the connection refused answers every request with result 1 before
// the request returns; without a consumer answers are dropped; a thread
// that failed to start is not waited for. Each logs its fixed text.
TEST_F(ZetaIPCAdapterTest, FailurePathsAnswerOrLogAsDocumented) {
    setControllerRoleName("no/such/role");  // names no socket: the connection refuses the proxy
    {
        CZetaIPCAdapter refused(&consumer);
        const std::vector<int> results = {refused.requestRegister("d", "m", tParameterList()),
                                          refused.requestSetWindow(1, 2, 3, 4),
                                          refused.requestKeyEvent(5),
                                          refused.requestMouseEvent(1, 2, 3),
                                          refused.requestButtonEvent(1),
                                          refused.requestDataAvailableEvent("x"),
                                          refused.requestDeregister()};
        EXPECT_EQ(std::vector<int>(7, 0), results);
        EXPECT_EQ((std::vector<std::string>{"register 1", "setWindow 1", "key 1", "mouse 1", "button 1", "data 1",
                                            "deregister 1"}),
                  consumer.answers());
    }
    setControllerRoleName("BrowserPluginCtrl");
    {
        CZetaIPCAdapter orphan(nullptr);
        orphan.responseRegister(42, OrcaBrowserPlugin::RESULT_OK);  // dropped, but the id is kept
        orphan.componentConnected();
        orphan.onConfigPathUpdate("/old", Zeta::DATA_STATE_INVALID);
        EXPECT_EQ(42u, orphan.getInstanceId());
    }
    CZetaThread::setStartThreadFunction(&failingStart);
    { CZetaIPCAdapter unstarted(&consumer); }  // waiting for its thread would hang the test
    const struct {
        const char* text;
        int level;
    } logs[] = {
        {"Error while to add Zeta proxy to Zeta connection", 2},
        {"Zeta proxy wasn`t added to ZetaConnection", 2},
        {"Consumer is missing", 2},
        {"ID:42, Result:0", 0},
        {"ConfigPath:/old,State:1", 0},
        {"   Calling CQVThreadCtrl::startThread", 0},
        {"   Waiting until Zeta tread ", 0},
        {"Zeta thread finished! << 0x", 0},
        {"Error: CQVThreadCtrl::startThread (this)", 0},
    };
    for (const auto& log : logs) EXPECT_TRUE(capture.contains(log.text, log.level)) << log.text;
}

// Stopped before run() began (the stop must not be lost) or while the loop
// sleeps in poll with nothing to connect (the stop must wake it), the
// thread has left run() when stop() returns. A lost stop hangs the test.
TEST_F(ZetaIPCAdapterTest, StopEndsRunWhetherOrNotItHadBegun) {
    for (int sleepMs : {0, 50}) {
        CZetaThread thread;
        ASSERT_NE(0, thread.getThreadId());
        std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
        thread.stop(0);
        EXPECT_FALSE(thread.isRunning());
    }
    EXPECT_EQ(2u, capture.count("Zeta thread finished! << 0x", 0));
}

TEST_F(ZetaIPCAdapterTest, BrowserIdIsTheVariableReadAsANumberOrThisProcess) {
    CZetaIPCAdapter adapter(nullptr);
    const std::vector<std::pair<const char*, Int32>> rows = {{nullptr, getpid()},
                                                             {"", getpid()},
                                                             {"4711", 4711},
                                                             {"12abc", 12},
                                                             {"browser", 0},
                                                             {"99999999999999", 2147483647},
                                                             {"-99999999999999", -2147483647 - 1}};
    for (const auto& row : rows) {
        if (row.first == nullptr) unsetenv("QV_BROWSER_ID");
        if (row.first != nullptr) setenv("QV_BROWSER_ID", row.first, 1);
        EXPECT_EQ(row.second, adapter.getBrowserPID()) << (row.first == nullptr ? "unset" : row.first);
    }
}

// The size a registration is fitted by must be the size it is sent with.
TEST(OrcaCodec, RegisterMessageSizeIsTheEncodedSize) {
    const std::vector<std::pair<const char*, std::vector<std::pair<const char*, const char*>>>> rows = {
        {"", {}}, {"ab", {{"a", ""}, {"", "xyz"}}}, {"Viewer", {{"src", "a.doc"}, {"w", "1"}}}};
    for (const auto& row : rows) {
        TQVVector<OrcaBrowserPlugin::tNameValuePair> list;
        for (const auto& pair : row.second) list.push_back(OrcaBrowserPlugin::tNameValuePair(pair.first, pair.second));
        CZetaOStream out(nullptr, -1, 0, Zeta::REQUEST_TYPE_CALL, Zeta::COMMAND_INVOKE, 0, SPartyID(), SPartyID(), 0);
        ZetaWriteString(out, row.first);
        ZetaWriteString(out, "mime");
        ZetaWriteTParameterList(out, list);
        ZetaWriteInt32(out, 7);
        EXPECT_EQ(out.getSize(), registerMessageSize(row.first, "mime", list)) << row.first;
    }
}

TEST(ControllerRole, DefaultsToBrowserPluginCtrlAndKeeps255Characters) {
    EXPECT_STREQ("BrowserPluginCtrl", getControllerRoleName());
    setControllerRoleName(std::string(300, 'r').c_str());
    EXPECT_EQ(std::string(255, 'r'), getControllerRoleName());
    setControllerRoleName("BrowserPluginCtrl");
}

}  // namespace
