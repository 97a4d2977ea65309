#include "storage/hash_md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string hex(const unsigned char (&digest)[16]) {
    std::string out;
    char two[3];
    for (unsigned char byte : digest) {
        std::snprintf(two, sizeof(two), "%02x", byte);
        out += two;
    }
    return out;
}

std::string digestOf(const std::vector<unsigned char>& bytes, size_t piece) {
    CHashMD5 hash;
    hash.md5_starts();
    for (size_t at = 0; at < bytes.size(); at += piece) {
        size_t n = std::min(piece, bytes.size() - at);
        hash.md5_update(bytes.data() + at, static_cast<unsigned int>(n));
    }
    unsigned char digest[16];
    hash.md5_finish(digest);
    return hex(digest);
}

std::string digestOf(const std::string& text) {
    std::vector<unsigned char> bytes(text.begin(), text.end());
    return digestOf(bytes, bytes.empty() ? 1 : bytes.size());
}

std::vector<unsigned char> pattern(size_t length) {
    std::vector<unsigned char> bytes(length);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    }
    return bytes;
}

}  // namespace

TEST(HashMD5, Rfc1321TestSuite) {
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", digestOf(""));
    EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", digestOf("a"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", digestOf("abc"));
    EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", digestOf("message digest"));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", digestOf("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("d174ab98d277d9f5a5611c2c9f419d9f",
              digestOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              digestOf("1234567890123456789012345678901234567890"
                       "1234567890123456789012345678901234567890"));
}

TEST(HashMD5, PaddingAroundTheBlockBoundary) {
    // 55 bytes leave room for the length in one block, 56 and 64 need a
    // second block; the neighbours check the count arithmetic.
    EXPECT_EQ("ef1772b6dff9a122358552954ad0df65", digestOf(std::string(55, 'a')));
    EXPECT_EQ("3b0c8ac703f828b04c6c197006d17218", digestOf(std::string(56, 'a')));
    EXPECT_EQ("652b906d60af96844ebd21b674f35e93", digestOf(std::string(57, 'a')));
    EXPECT_EQ("b06521f39153d618550606be297466d5", digestOf(std::string(63, 'a')));
    EXPECT_EQ("014842d480b571495a4a0363793f7367", digestOf(std::string(64, 'a')));
    EXPECT_EQ("c743a45e0d2e6a95cb859adae0248435", digestOf(std::string(65, 'a')));
    EXPECT_EQ("8a7bd0732ed6a28ce75f6dabc90e1613", digestOf(std::string(119, 'a')));
    EXPECT_EQ("5f61c0ccad4cac44c75ff505e1f1e537", digestOf(std::string(120, 'a')));
}

TEST(HashMD5, FeedingInPiecesEqualsFeedingAtOnce) {
    std::vector<unsigned char> bytes = pattern(1000);
    const std::string whole = "10046f077f2082ac19676b8079f1cb1a";
    EXPECT_EQ(whole, digestOf(bytes, bytes.size()));
    for (size_t piece : {1u, 2u, 63u, 64u, 65u, 127u, 128u, 129u, 999u}) {
        EXPECT_EQ(whole, digestOf(bytes, piece)) << "pieces of " << piece;
    }
}

TEST(HashMD5, MixedPieceSizesEqualFeedingAtOnce) {
    std::vector<unsigned char> bytes = pattern(1000);
    const size_t pieces[] = {1, 63, 64, 65, 0, 3, 200, 64, 1};
    CHashMD5 hash;
    hash.md5_starts();
    size_t at = 0;
    for (size_t i = 0; at < bytes.size(); ++i) {
        size_t n = std::min(pieces[i % 9], bytes.size() - at);
        hash.md5_update(bytes.data() + at, static_cast<unsigned int>(n));
        at += n;
    }
    unsigned char digest[16];
    hash.md5_finish(digest);
    EXPECT_EQ("10046f077f2082ac19676b8079f1cb1a", hex(digest));
}

TEST(HashMD5, NullOrEmptyInputChangesNothing) {
    CHashMD5 hash;
    hash.md5_starts();
    hash.md5_update(nullptr, 10);
    const unsigned char abc[] = {'a', 'b', 'c'};
    hash.md5_update(abc, 0);
    hash.md5_update(abc, 3);
    hash.md5_update(nullptr, 0);
    unsigned char digest[16];
    hash.md5_finish(digest);
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", hex(digest));
}

TEST(HashMD5, RestartForgetsEarlierInput) {
    CHashMD5 hash;
    const unsigned char junk[100] = {1, 2, 3};
    hash.md5_update(junk, sizeof(junk));
    unsigned char digest[16];
    hash.md5_finish(digest);
    hash.md5_starts();
    const unsigned char abc[] = {'a', 'b', 'c'};
    hash.md5_update(abc, 3);
    hash.md5_finish(digest);
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", hex(digest));
}
