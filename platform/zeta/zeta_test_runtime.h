// ScopedZetaRuntime: for tests. Points QV_ZETA_RUNTIME_DIR at a fresh
// private directory (mkdtemp) for the life of the object and removes the
// directory and anything left in it afterwards, so that test processes
// running side by side never see each other's services. Create it before
// any thread that uses the middleware starts, destroy it after they ended.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class ScopedZetaRuntime {
public:
    ScopedZetaRuntime() {
        char pattern[] = "/tmp/zeta-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            mDirectory = pattern;
            setenv("QV_ZETA_RUNTIME_DIR", pattern, 1);
        }
    }
    ~ScopedZetaRuntime() {
        if (mDirectory.empty()) return;
        unsetenv("QV_ZETA_RUNTIME_DIR");
        if (DIR* dir = opendir(mDirectory.c_str())) {
            while (dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..") unlink((mDirectory + "/" + name).c_str());
            }
            closedir(dir);
        }
        rmdir(mDirectory.c_str());
    }
    ScopedZetaRuntime(const ScopedZetaRuntime&) = delete;
    ScopedZetaRuntime& operator=(const ScopedZetaRuntime&) = delete;

    bool ok() const { return !mDirectory.empty(); }
    const std::string& directory() const { return mDirectory; }

private:
    std::string mDirectory;
};
