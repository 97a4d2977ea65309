// Only a controller in a private runtime directory, run by this user or
// root, that accepts the link set-up gets the plug-in's registration:
// otherwise the adapter stays unconnected, as when no controller runs, and
// says why. A controller slow to accept is waited for.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ipc/ipc_test_support.h"
#include "ipc/orca_browser_plugin.h"
#include "ipc/zeta_ipc_adapter.h"
#include "platform/zeta/zeta_ostream.h"
#include "platform/zeta/zeta_runtime.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace NPluginsIPCCommunications;

const uid_t kOtherUser = 65534;

struct LinkCase {
    const char* name;
    mode_t directoryMode;
    bool directoryOfOtherUser;
    bool servedByOtherUser;
    int answerDelayMs;     // before the link set-up is answered
    std::uint32_t answer;  // the set-up answer's type code
    const char* refusal;   // logged at level 2; null: connects
};

void PrintTo(const LinkCase& row, std::ostream* out) { *out << row.name; }

// A process that listens at the controller's socket as the row's user
// (binding as the test's user first, so the socket lies in the test's
// directory) and answers every link set-up as the row says. Forked before
// any thread of the test runs.
pid_t serveController(const LinkCase& row) {
    CZetaOStream answer(nullptr, -1, 0, Zeta::REQUEST_TYPE_NONE, Zeta::COMMAND_CONNECT, 0,
                        SPartyID{static_cast<std::uint32_t>(getpid()), 0}, SPartyID(), 0);
    answer.setTypeCode(row.answer);
    answer.sealHeader();
    const std::string path = Zeta::servicePath(OrcaBrowserPlugin::SERVICE_NAME, "BrowserPluginCtrl");
    sockaddr_un address;
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child != 0) {
        close(ready[1]);
        char byte;
        const bool listening = read(ready[0], &byte, 1) == 1;
        close(ready[0]);
        return listening ? child : -1;
    }
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) _exit(1);
    if (row.servedByOtherUser && (setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0)) _exit(2);
    // The peer credentials a client sees are those of this call.
    if (listen(fd, 4) != 0 || write(ready[1], "x", 1) != 1) _exit(3);
    for (;;) {
        const int link = accept(fd, nullptr, nullptr);
        char hello[256];
        if (link >= 0 && recv(link, hello, sizeof(hello), 0) > 0) {
            usleep(static_cast<useconds_t>(row.answerDelayMs) * 1000);
            send(link, answer.getBuffer(), answer.getSize(), MSG_NOSIGNAL);
        }
    }
}

class ControllerLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(ControllerLink, OnlyATrustedControllerThatAcceptsIsConnected) {
    const LinkCase& row = GetParam();
    if ((row.directoryOfOtherUser || row.servedByOtherUser) && geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    ScopedZetaRuntime runtime;
    ASSERT_TRUE(runtime.ok());
    LogCapture capture;
    const pid_t controller = serveController(row);
    ASSERT_GT(controller, 0);
    ASSERT_EQ(0, chmod(runtime.directory().c_str(), row.directoryMode));
    if (row.directoryOfOtherUser) {
        ASSERT_EQ(0, chown(runtime.directory().c_str(), kOtherUser, kOtherUser));
    }

    TestConsumer consumer;
    std::unique_ptr<CZetaIPCAdapter> adapter(new CZetaIPCAdapter(&consumer));
    if (row.refusal == nullptr) {
        EXPECT_TRUE(consumer.waitFor("connected"));
        EXPECT_FALSE(capture.contains("did not answer the link set-up"));
    } else {
        EXPECT_TRUE(test_support::eventually([&] { return capture.contains(row.refusal, 2); }));
        EXPECT_EQ(-1, adapter->requestRegister("d", "m", tParameterList()));  // not connected: nothing sent
        EXPECT_EQ(0, consumer.count("connected"));
    }
    adapter.reset();
    kill(controller, SIGKILL);
    waitpid(controller, nullptr, 0);
}

const std::uint32_t kOk = Zeta::RESULT_OK;
INSTANTIATE_TEST_SUITE_P(
    Rows, ControllerLink,
    ::testing::Values(LinkCase{"ours", 0700, false, false, 0, kOk, nullptr},
                      LinkCase{"ours, slow to accept", 0700, false, false, 200, kOk, nullptr},
                      LinkCase{"served by another user", 0700, false, true, 0, kOk, "served by user 65534"},
                      LinkCase{"directory open to others", 0755, false, false, 0, kOk, "mode 0755, not 0700"},
                      LinkCase{"directory of another user", 0700, true, false, 0, kOk, "owned by user 65534"},
                      LinkCase{"refusing our version", 0700, false, false, 0, Zeta::RESULT_INVALID,
                               "refused version 1.0"}),
    [](const ::testing::TestParamInfo<LinkCase>& info) {
        std::string name = info.param.name;
        for (char& c : name) c = (c == ' ' || c == ',') ? '_' : c;
        return name;
    });

}  // namespace
