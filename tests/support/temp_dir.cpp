#include "tests/support/temp_dir.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <vector>

namespace test_support {

namespace {
int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    std::remove(path);
    return 0;  // go on: remove what can be removed
}
}  // namespace

void removeTree(const std::string& path) { ::nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

TempDir::TempDir(const char* stem) {
    std::string pattern = std::string("/tmp/") + stem + "_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) mPath = buffer.data();
}

TempDir::~TempDir() {
    if (mPath.empty()) return;
    ::chmod(mPath.c_str(), 0700);
    removeTree(mPath);
}

}  // namespace test_support
