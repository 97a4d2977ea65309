// ScopedZetaRuntime: for tests. Points QV_ZETA_RUNTIME_DIR at a fresh
// private directory for the life of the object and removes it with anything
// left in it afterwards, so that test processes running side by side never
// see each other's services. Create it before any thread that uses the
// middleware starts, destroy it after they ended.
#pragma once

#include <stdlib.h>

#include <string>

#include "tests/support/temp_dir.h"

class ScopedZetaRuntime {
public:
    ScopedZetaRuntime() { setenv("QV_ZETA_RUNTIME_DIR", mDirectory.path().c_str(), 1); }
    ~ScopedZetaRuntime() { unsetenv("QV_ZETA_RUNTIME_DIR"); }

    bool ok() const { return !mDirectory.path().empty(); }
    const std::string& directory() const { return mDirectory.path(); }

private:
    test_support::TempDir mDirectory{"zeta-test"};
};
