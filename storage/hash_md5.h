// CHashMD5: incremental MD5 message digest (RFC 1321).
//
// Usage: md5_starts(), any number of md5_update() calls, md5_finish(). The
// digest is the 16 bytes of the state words A, B, C, D, each little-endian.
// After md5_finish the context must be restarted with md5_starts before it
// is fed again.
//
// A context is not locked: its owner makes sure that one thread at a time
// feeds it. Different contexts may be used by different threads at once.
#pragma once

#include "platform/qv_types.h"

class CHashMD5 {
public:
    CHashMD5();

    // Resets the byte count to 0 and the state to the initial words.
    void md5_starts();
    // Feeds length bytes; a null input or a zero length does nothing.
    void md5_update(const unsigned char* input, unsigned int length);
    // Pads the message, appends the 64-bit bit count and writes the 16-byte
    // digest to digest (which must have room for 16 bytes).
    void md5_finish(unsigned char* digest);

    // The auxiliary function of each pass.
    enum MD5_Step { STEP_F = 0, STEP_G = 1, STEP_H = 2, STEP_I = 3 };

    static const unsigned char md5_padding[64];

private:
    // Compresses one 64-byte block into the state.
    void md5_process(const unsigned char* block);

    inline UInt32 F(MD5_Step step, UInt32 x, UInt32 y, UInt32 z) const;
    inline void P(MD5_Step step, const UInt32* X, UInt32& a, UInt32 b, UInt32 c, UInt32 d,
                  UInt32 k, UInt32 s, UInt32 t) const;
    inline void GET_UInt32(UInt32& n, const unsigned char* b, unsigned int i) const;
    inline void PUT_UInt32(UInt32 n, unsigned char* b, unsigned int i) const;

    UInt32 mTotal[2];   // bytes fed so far, low word first
    UInt32 mState[4];   // chaining words A, B, C, D
    UInt8 mBuffer[64];  // the current incomplete block
};

// The step functions are defined here so that md5_process, which calls them
// with constant step kinds, reduces each to a handful of instructions.

inline UInt32 CHashMD5::F(MD5_Step step, UInt32 x, UInt32 y, UInt32 z) const {
    switch (step) {
        case STEP_F:
            return z ^ (x & (y ^ z));
        case STEP_G:
            return y ^ (z & (x ^ y));
        case STEP_H:
            return x ^ y ^ z;
        default:
            return y ^ (x | ~z);
    }
}

inline void CHashMD5::P(MD5_Step step, const UInt32* X, UInt32& a, UInt32 b, UInt32 c, UInt32 d,
                        UInt32 k, UInt32 s, UInt32 t) const {
    UInt32 v = a + F(step, b, c, d) + X[k] + t;
    a = b + ((v << s) | (v >> (32 - s)));
}

inline void CHashMD5::GET_UInt32(UInt32& n, const unsigned char* b, unsigned int i) const {
    n = static_cast<UInt32>(b[i]) | (static_cast<UInt32>(b[i + 1]) << 8) |
        (static_cast<UInt32>(b[i + 2]) << 16) | (static_cast<UInt32>(b[i + 3]) << 24);
}

inline void CHashMD5::PUT_UInt32(UInt32 n, unsigned char* b, unsigned int i) const {
    b[i] = static_cast<unsigned char>(n);
    b[i + 1] = static_cast<unsigned char>(n >> 8);
    b[i + 2] = static_cast<unsigned char>(n >> 16);
    b[i + 3] = static_cast<unsigned char>(n >> 24);
}
