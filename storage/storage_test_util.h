// Helpers shared by the storage unit tests: a temporary directory that is
// removed with everything in it, and whole-file read/write.
#pragma once

#include "tests/support/temp_dir.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace storage_test {

using test_support::removeTree;
using test_support::TempDir;

inline bool writeFile(const std::string& path, const std::string& content) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && ok;
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string readFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "<missing>";
    }
    std::string content;
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof(block), file)) > 0) {
        content.append(block, got);
    }
    std::fclose(file);
    return content;
}

inline bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace storage_test
