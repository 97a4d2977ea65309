// TempDir: a fresh directory under /tmp for one test, removed with
// everything in it (after restoring the permissions a test may have taken
// away) when the object goes.
#pragma once

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace test_support {

inline int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

inline void removeTree(const std::string& path) { ::nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/rrz_test_XXXXXX";
        char* made = ::mkdtemp(pattern);
        mPath = made != nullptr ? made : "";
    }
    ~TempDir() {
        if (!mPath.empty()) {
            ::chmod(mPath.c_str(), 0700);
            removeTree(mPath);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return mPath; }
    // path + "/" + leaf
    std::string operator/(const std::string& leaf) const { return mPath + "/" + leaf; }

private:
    std::string mPath;
};

}  // namespace test_support
