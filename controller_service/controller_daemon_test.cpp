// The plugin-controller-service daemon as a separate process, driven by an
// adapter in this one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "ipc/controller_role.h"
#include "ipc/ipc_test_support.h"
#include "ipc/zeta_ipc_adapter.h"
#include "platform/zeta/zeta_runtime.h"
#include "platform/zeta/zeta_test_runtime.h"
#include "tests/support/log_capture.h"

namespace {

TEST(ControllerDaemon, MakesAPrivateDirectoryAnswersWithTheConfiguredResultAndLeavesNoSocket) {
    ScopedZetaRuntime runtime;
    ASSERT_TRUE(runtime.ok());
    LogCapture capture;
    // Made by the daemon: the adapter connects only when it is private.
    const std::string directory = runtime.directory() + "/made-by-the-daemon";
    setenv("QV_ZETA_RUNTIME_DIR", directory.c_str(), 1);
    const std::string socket = Zeta::servicePath("OrcaBrowserPlugin", "TestCtrl");
    pid_t daemon = fork();
    ASSERT_GE(daemon, 0);
    if (daemon == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(RRZ_CONTROLLER_DAEMON, RRZ_CONTROLLER_DAEMON, "--role", "TestCtrl", "--result", "1", nullptr);
        _exit(127);
    }
    ASSERT_TRUE(test_support::eventually([&] { return access(socket.c_str(), F_OK) == 0; }));

    NPluginsIPCCommunications::setControllerRoleName("TestCtrl");
    TestConsumer consumer;
    {
        NPluginsIPCCommunications::CZetaIPCAdapter adapter(&consumer);
        NPluginsIPCCommunications::setControllerRoleName("BrowserPluginCtrl");
        ASSERT_TRUE(consumer.waitFor("connected"));
        adapter.requestKeyEvent(32);
        EXPECT_TRUE(consumer.waitFor("key 1"));
    }
    kill(daemon, SIGTERM);
    int status = 0;
    ASSERT_EQ(daemon, waitpid(daemon, &status, 0));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_NE(0, access(socket.c_str(), F_OK));
}

}  // namespace
