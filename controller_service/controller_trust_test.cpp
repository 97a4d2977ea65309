// Only a controller in a private runtime directory, run by this user or
// root, gets the plug-in's registration: otherwise the adapter stays
// unconnected, as when no controller runs, and says why.
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

#include "controller_service/controller_test_consumer.h"
#include "ipc/orca_browser_plugin.h"
#include "ipc/zeta_ipc_adapter.h"
#include "platform/zeta/zeta_ostream.h"
#include "platform/zeta/zeta_runtime.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

using namespace NPluginsIPCCommunications;

const uid_t kOtherUser = 65534;

// A process that listens at the controller's socket as `user` (binding as
// the test's user first, so the socket lies in the test's directory) and
// accepts every link set-up. Forked before any thread of the test runs.
pid_t serveControllerAs(uid_t user) {
    CZetaOStream accepted(nullptr, -1, 0, Zeta::REQUEST_TYPE_NONE, Zeta::COMMAND_CONNECT, 0,
                          SPartyID{static_cast<std::uint32_t>(getpid()), 0}, SPartyID(), 0);
    accepted.setTypeCode(Zeta::RESULT_OK);
    accepted.sealHeader();
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
    if (user != geteuid() && (setgid(user) != 0 || setuid(user) != 0)) _exit(2);
    // The peer credentials a client sees are those of this call.
    if (listen(fd, 4) != 0 || write(ready[1], "x", 1) != 1) _exit(3);
    for (;;) {
        const int link = accept(fd, nullptr, nullptr);
        char hello[256];
        if (link >= 0 && recv(link, hello, sizeof(hello), 0) > 0) {
            send(link, accepted.getBuffer(), accepted.getSize(), MSG_NOSIGNAL);
        }
    }
}

struct TrustCase {
    const char* name;
    mode_t directoryMode;
    bool directoryOfOtherUser;
    bool servedByOtherUser;
    const char* refusal;  // null: connects
};

void PrintTo(const TrustCase& row, std::ostream* out) { *out << row.name; }

class ControllerTrust : public ::testing::TestWithParam<TrustCase> {};

TEST_P(ControllerTrust, OnlyATrustedControllerIsConnected) {
    const TrustCase& row = GetParam();
    if ((row.directoryOfOtherUser || row.servedByOtherUser) && geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    ScopedZetaRuntime runtime;
    ASSERT_TRUE(runtime.ok());
    LogCapture capture;
    const pid_t controller = serveControllerAs(row.servedByOtherUser ? kOtherUser : geteuid());
    ASSERT_GT(controller, 0);
    ASSERT_EQ(0, chmod(runtime.directory().c_str(), row.directoryMode));
    if (row.directoryOfOtherUser) {
        ASSERT_EQ(0, chown(runtime.directory().c_str(), kOtherUser, kOtherUser));
    }

    TestConsumer consumer;
    std::unique_ptr<CZetaIPCAdapter> adapter(new CZetaIPCAdapter(&consumer));
    if (row.refusal == nullptr) {
        EXPECT_TRUE(consumer.waitFor("connected"));
    } else {
        for (int i = 0; i < 300 && !capture.contains("is not trusted", 2); ++i) usleep(10000);
        EXPECT_TRUE(capture.contains(row.refusal, 2)) << row.name;
        EXPECT_EQ(-1, adapter->requestRegister("d", "m", tParameterList()));  // not connected: nothing sent
        EXPECT_EQ(0, consumer.count("connected"));
    }
    adapter.reset();
    kill(controller, SIGKILL);
    waitpid(controller, nullptr, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ControllerTrust,
    ::testing::Values(TrustCase{"ours", 0700, false, false, nullptr},
                      TrustCase{"served by another user", 0700, false, true, "served by user 65534"},
                      TrustCase{"directory open to others", 0755, false, false, "mode 0755, not 0700"},
                      TrustCase{"directory of another user", 0700, true, false, "owned by user 65534"}),
    [](const ::testing::TestParamInfo<TrustCase>& info) {
        std::string name = info.param.name;
        for (char& c : name) c = c == ' ' ? '_' : c;
        return name;
    });

}  // namespace
