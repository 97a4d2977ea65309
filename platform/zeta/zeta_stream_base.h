// CZetaStreamBase: the byte buffer of one Zeta message, header included
// (layout in zeta_types.h), with a running position and an error word.
//
// Positions count from the start of the buffer. The buffer never grows past
// Zeta::MAX_MESSAGE_SIZE. The error word is 0 until something goes wrong;
// then it holds an errno value (ERANGE: a read past the end of the message,
// EMSGSIZE: the message would grow too large, ENOMEM) and field codecs skip
// every later field. A stream belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/zeta/zeta_types.h"

class CZetaStreamBase {
public:
    CZetaStreamBase();
    virtual ~CZetaStreamBase();

    CZetaStreamBase(const CZetaStreamBase&) = delete;
    CZetaStreamBase& operator=(const CZetaStreamBase&) = delete;

    // Makes room for at least `capacity` bytes, keeping the content; new
    // bytes are zero. False (nothing changed, errno EMSGSIZE or ENOMEM)
    // beyond MAX_MESSAGE_SIZE or when memory runs out.
    bool setCapacity(std::size_t capacity);
    std::size_t getCapacity() const { return mCapacity; }

    std::uint8_t* getBuffer() { return mBuffer; }
    const std::uint8_t* getBuffer() const { return mBuffer; }

    // Bytes of the message: for an output stream those written so far, for
    // an input stream those received.
    std::size_t getSize() const { return mSize; }

    std::size_t getPosition() const { return mPosition; }
    // Moves the position; an output stream's size follows a position beyond
    // it. Positions past the capacity are refused.
    bool setPosition(std::size_t position);

    int getError() const { return mError; }
    // Keeps the first error; 0 is ignored.
    void setError(int error);

protected:
    void setSize(std::size_t size) { mSize = size; }
    void setGrowsWithPosition(bool grows) { mGrowsWithPosition = grows; }

    std::uint8_t* mBuffer;
    std::size_t mCapacity;
    std::size_t mSize;
    std::size_t mPosition;
    int mError;
    bool mGrowsWithPosition;
};
