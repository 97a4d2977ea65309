// Where services live: the runtime directory and the socket paths in it.
// (That a service makes the directory private is checked with the daemon.)
#include "platform/zeta/zeta_runtime.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/zeta/zeta_test_runtime.h"

namespace {

TEST(ZetaRuntime, DirectoryIsTheVariableOrOnePerUserInTmp) {
    const std::string perUser = "/tmp/zeta-" + std::to_string(getuid());
    unsetenv("QV_ZETA_RUNTIME_DIR");
    EXPECT_EQ(perUser, Zeta::runtimeDirectory());
    setenv("QV_ZETA_RUNTIME_DIR", "", 1);
    EXPECT_EQ(perUser, Zeta::runtimeDirectory());
    setenv("QV_ZETA_RUNTIME_DIR", "/run/zeta", 1);
    EXPECT_EQ("/run/zeta", Zeta::runtimeDirectory());
    unsetenv("QV_ZETA_RUNTIME_DIR");
}

TEST(ZetaRuntime, ServicePathIsNameDotRoleUnlessANameIsUnsafe) {
    ScopedZetaRuntime runtime;
    ASSERT_TRUE(runtime.ok());
    const struct {
        std::string service, role, path;
        int error;
    } rows[] = {{"Orca", "Ctrl", runtime.directory() + "/Orca.Ctrl", 0},
                {"a/b", "role", "", EINVAL},
                {"service", "..", "", EINVAL},
                {"", "role", "", EINVAL},
                {"s", std::string(200, 'r'), "", ENAMETOOLONG}};
    for (const auto& row : rows) {
        errno = 0;
        EXPECT_EQ(row.path, Zeta::servicePath(row.service, row.role)) << row.service << "." << row.role;
        EXPECT_EQ(row.error, row.error == 0 ? 0 : errno) << row.service << "." << row.role;
    }
}

}  // namespace
