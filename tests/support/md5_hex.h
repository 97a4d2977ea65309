// MD5 digests as 32 lowercase hex digits, the form of cache directory names
// and cache_checksum. Computed with the storage's digest (pinned to the
// published test vectors by storage/hash_md5_test.cpp); for tests that link
// rrz_storage.
#pragma once

#include <cstdio>
#include <string>

#include "storage/hash_md5.h"

namespace test_support {

inline std::string hexOf(const unsigned char (&digest)[16]) {
    char text[33];
    for (int i = 0; i < 16; ++i) std::snprintf(text + 2 * i, 3, "%02x", digest[i]);
    return std::string(text, 32);
}

inline std::string md5Hex(const std::string& bytes) {
    CHashMD5 hash;
    hash.md5_starts();
    hash.md5_update(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned>(bytes.size()));
    unsigned char digest[16];
    hash.md5_finish(digest);
    return hexOf(digest);
}

}  // namespace test_support
