#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/zeta/zeta_runtime.h"
#include "platform/zeta/zeta_test_runtime.h"

namespace {

TEST(ZetaRuntime, DefaultDirectoryIsPerUser) {
    unsetenv("QV_ZETA_RUNTIME_DIR");
    EXPECT_EQ("/tmp/zeta-" + std::to_string(getuid()), Zeta::runtimeDirectory());
    setenv("QV_ZETA_RUNTIME_DIR", "", 1);
    EXPECT_EQ("/tmp/zeta-" + std::to_string(getuid()), Zeta::runtimeDirectory());
    unsetenv("QV_ZETA_RUNTIME_DIR");
}

TEST(ZetaRuntime, ServicePathIsNameDotRoleUnderTheDirectory) {
    ScopedZetaRuntime runtime;
    ASSERT_TRUE(runtime.ok());
    EXPECT_EQ(runtime.directory() + "/OrcaBrowserPlugin.BrowserPluginCtrl",
              Zeta::servicePath("OrcaBrowserPlugin", "BrowserPluginCtrl"));
}

TEST(ZetaRuntime, UnsafeOrOverlongNamesHaveNoPath) {
    ScopedZetaRuntime runtime;
    ASSERT_TRUE(runtime.ok());
    EXPECT_EQ("", Zeta::servicePath("a/b", "role"));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_EQ("", Zeta::servicePath("service", ".."));
    EXPECT_EQ("", Zeta::servicePath("", "role"));
    EXPECT_EQ("", Zeta::servicePath("service", std::string(200, 'r')));
    EXPECT_EQ(ENAMETOOLONG, errno);
}

TEST(ZetaRuntime, EnsureCreatesAPrivateDirectory) {
    ScopedZetaRuntime runtime;
    ASSERT_TRUE(runtime.ok());
    std::string nested = runtime.directory() + "/sub";
    setenv("QV_ZETA_RUNTIME_DIR", nested.c_str(), 1);
    ASSERT_TRUE(Zeta::ensureRuntimeDirectory());
    ASSERT_TRUE(Zeta::ensureRuntimeDirectory());  // existing is fine
    struct stat status;
    ASSERT_EQ(0, stat(nested.c_str(), &status));
    EXPECT_EQ(0700u, status.st_mode & 0777);
    rmdir(nested.c_str());
}

}  // namespace
