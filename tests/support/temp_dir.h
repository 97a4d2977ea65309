// TempDir: a fresh directory under /tmp for one test, removed with
// everything in it (after restoring the permissions a test may have taken
// away from it) when the object goes. path() is empty when none could be
// made.
#pragma once

#include <string>

namespace test_support {

// Removes path and everything below it; what cannot be removed stays.
void removeTree(const std::string& path);

class TempDir {
public:
    explicit TempDir(const char* stem = "rrz_test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return mPath; }
    // path + "/" + leaf
    std::string operator/(const std::string& leaf) const { return mPath + "/" + leaf; }

private:
    std::string mPath;
};

}  // namespace test_support
