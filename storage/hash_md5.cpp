#include "storage/hash_md5.h"

#include <cstring>

const unsigned char CHashMD5::md5_padding[64] = {0x80};

CHashMD5::CHashMD5() { md5_starts(); }

void CHashMD5::md5_starts() {
    mTotal[0] = 0;
    mTotal[1] = 0;
    mState[0] = 0x67452301;
    mState[1] = 0xefcdab89;
    mState[2] = 0x98badcfe;
    mState[3] = 0x10325476;
    std::memset(mBuffer, 0, sizeof(mBuffer));
}

void CHashMD5::md5_process(const unsigned char* block) {
    UInt32 X[16];
    for (unsigned int i = 0; i < 16; ++i) {
        GET_UInt32(X[i], block, i * 4);
    }

    UInt32 a = mState[0];
    UInt32 b = mState[1];
    UInt32 c = mState[2];
    UInt32 d = mState[3];

    P(STEP_F, X, a, b, c, d, 0, 7, 0xd76aa478);
    P(STEP_F, X, d, a, b, c, 1, 12, 0xe8c7b756);
    P(STEP_F, X, c, d, a, b, 2, 17, 0x242070db);
    P(STEP_F, X, b, c, d, a, 3, 22, 0xc1bdceee);
    P(STEP_F, X, a, b, c, d, 4, 7, 0xf57c0faf);
    P(STEP_F, X, d, a, b, c, 5, 12, 0x4787c62a);
    P(STEP_F, X, c, d, a, b, 6, 17, 0xa8304613);
    P(STEP_F, X, b, c, d, a, 7, 22, 0xfd469501);
    P(STEP_F, X, a, b, c, d, 8, 7, 0x698098d8);
    P(STEP_F, X, d, a, b, c, 9, 12, 0x8b44f7af);
    P(STEP_F, X, c, d, a, b, 10, 17, 0xffff5bb1);
    P(STEP_F, X, b, c, d, a, 11, 22, 0x895cd7be);
    P(STEP_F, X, a, b, c, d, 12, 7, 0x6b901122);
    P(STEP_F, X, d, a, b, c, 13, 12, 0xfd987193);
    P(STEP_F, X, c, d, a, b, 14, 17, 0xa679438e);
    P(STEP_F, X, b, c, d, a, 15, 22, 0x49b40821);

    P(STEP_G, X, a, b, c, d, 1, 5, 0xf61e2562);
    P(STEP_G, X, d, a, b, c, 6, 9, 0xc040b340);
    P(STEP_G, X, c, d, a, b, 11, 14, 0x265e5a51);
    P(STEP_G, X, b, c, d, a, 0, 20, 0xe9b6c7aa);
    P(STEP_G, X, a, b, c, d, 5, 5, 0xd62f105d);
    P(STEP_G, X, d, a, b, c, 10, 9, 0x02441453);
    P(STEP_G, X, c, d, a, b, 15, 14, 0xd8a1e681);
    P(STEP_G, X, b, c, d, a, 4, 20, 0xe7d3fbc8);
    P(STEP_G, X, a, b, c, d, 9, 5, 0x21e1cde6);
    P(STEP_G, X, d, a, b, c, 14, 9, 0xc33707d6);
    P(STEP_G, X, c, d, a, b, 3, 14, 0xf4d50d87);
    P(STEP_G, X, b, c, d, a, 8, 20, 0x455a14ed);
    P(STEP_G, X, a, b, c, d, 13, 5, 0xa9e3e905);
    P(STEP_G, X, d, a, b, c, 2, 9, 0xfcefa3f8);
    P(STEP_G, X, c, d, a, b, 7, 14, 0x676f02d9);
    P(STEP_G, X, b, c, d, a, 12, 20, 0x8d2a4c8a);

    P(STEP_H, X, a, b, c, d, 5, 4, 0xfffa3942);
    P(STEP_H, X, d, a, b, c, 8, 11, 0x8771f681);
    P(STEP_H, X, c, d, a, b, 11, 16, 0x6d9d6122);
    P(STEP_H, X, b, c, d, a, 14, 23, 0xfde5380c);
    P(STEP_H, X, a, b, c, d, 1, 4, 0xa4beea44);
    P(STEP_H, X, d, a, b, c, 4, 11, 0x4bdecfa9);
    P(STEP_H, X, c, d, a, b, 7, 16, 0xf6bb4b60);
    P(STEP_H, X, b, c, d, a, 10, 23, 0xbebfbc70);
    P(STEP_H, X, a, b, c, d, 13, 4, 0x289b7ec6);
    P(STEP_H, X, d, a, b, c, 0, 11, 0xeaa127fa);
    P(STEP_H, X, c, d, a, b, 3, 16, 0xd4ef3085);
    P(STEP_H, X, b, c, d, a, 6, 23, 0x04881d05);
    P(STEP_H, X, a, b, c, d, 9, 4, 0xd9d4d039);
    P(STEP_H, X, d, a, b, c, 12, 11, 0xe6db99e5);
    P(STEP_H, X, c, d, a, b, 15, 16, 0x1fa27cf8);
    P(STEP_H, X, b, c, d, a, 2, 23, 0xc4ac5665);

    P(STEP_I, X, a, b, c, d, 0, 6, 0xf4292244);
    P(STEP_I, X, d, a, b, c, 7, 10, 0x432aff97);
    P(STEP_I, X, c, d, a, b, 14, 15, 0xab9423a7);
    P(STEP_I, X, b, c, d, a, 5, 21, 0xfc93a039);
    P(STEP_I, X, a, b, c, d, 12, 6, 0x655b59c3);
    P(STEP_I, X, d, a, b, c, 3, 10, 0x8f0ccc92);
    P(STEP_I, X, c, d, a, b, 10, 15, 0xffeff47d);
    P(STEP_I, X, b, c, d, a, 1, 21, 0x85845dd1);
    P(STEP_I, X, a, b, c, d, 8, 6, 0x6fa87e4f);
    P(STEP_I, X, d, a, b, c, 15, 10, 0xfe2ce6e0);
    P(STEP_I, X, c, d, a, b, 6, 15, 0xa3014314);
    P(STEP_I, X, b, c, d, a, 13, 21, 0x4e0811a1);
    P(STEP_I, X, a, b, c, d, 4, 6, 0xf7537e82);
    P(STEP_I, X, d, a, b, c, 11, 10, 0xbd3af235);
    P(STEP_I, X, c, d, a, b, 2, 15, 0x2ad7d2bb);
    P(STEP_I, X, b, c, d, a, 9, 21, 0xeb86d391);

    mState[0] += a;
    mState[1] += b;
    mState[2] += c;
    mState[3] += d;
}

void CHashMD5::md5_update(const unsigned char* input, unsigned int length) {
    if (input == nullptr || length == 0) {
        return;
    }
    unsigned int left = mTotal[0] & 0x3F;
    unsigned int fill = 64 - left;

    mTotal[0] += length;
    if (mTotal[0] < length) {
        ++mTotal[1];
    }

    if (left != 0 && length >= fill) {
        std::memcpy(mBuffer + left, input, fill);
        md5_process(mBuffer);
        input += fill;
        length -= fill;
        left = 0;
    }
    while (length >= 64) {
        md5_process(input);
        input += 64;
        length -= 64;
    }
    if (length > 0) {
        std::memcpy(mBuffer + left, input, length);
    }
}

void CHashMD5::md5_finish(unsigned char* digest) {
    // The bit count is taken before padding changes the byte count.
    unsigned char lengthBytes[8];
    UInt32 high = (mTotal[0] >> 29) | (mTotal[1] << 3);
    UInt32 low = mTotal[0] << 3;
    PUT_UInt32(low, lengthBytes, 0);
    PUT_UInt32(high, lengthBytes, 4);

    unsigned int last = mTotal[0] & 0x3F;
    unsigned int padLength = (last < 56) ? (56 - last) : (120 - last);
    md5_update(md5_padding, padLength);
    md5_update(lengthBytes, 8);

    PUT_UInt32(mState[0], digest, 0);
    PUT_UInt32(mState[1], digest, 4);
    PUT_UInt32(mState[2], digest, 8);
    PUT_UInt32(mState[3], digest, 12);
}
