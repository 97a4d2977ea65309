#include "platform/zeta/zeta_stream_base.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

CZetaStreamBase::CZetaStreamBase() : mBuffer(nullptr), mCapacity(0), mSize(0), mPosition(0), mError(0), mGrowsWithPosition(false) {}

CZetaStreamBase::~CZetaStreamBase() { std::free(mBuffer); }

bool CZetaStreamBase::setCapacity(std::size_t capacity) {
    if (capacity <= mCapacity) {
        return true;
    }
    if (capacity > Zeta::MAX_MESSAGE_SIZE) {
        errno = EMSGSIZE;
        return false;
    }
    // Grow geometrically so that a message built field by field is not
    // copied once per field.
    std::size_t grown = mCapacity < 64 ? 64 : mCapacity * 2;
    if (grown < capacity) grown = capacity;
    if (grown > Zeta::MAX_MESSAGE_SIZE) grown = Zeta::MAX_MESSAGE_SIZE;
    void* buffer = std::realloc(mBuffer, grown);
    if (buffer == nullptr) {
        errno = ENOMEM;
        return false;
    }
    mBuffer = static_cast<std::uint8_t*>(buffer);
    // Padding skipped by the field codecs must go out as zero bytes.
    std::memset(mBuffer + mCapacity, 0, grown - mCapacity);
    mCapacity = grown;
    return true;
}

bool CZetaStreamBase::setPosition(std::size_t position) {
    if (position > mCapacity) {
        return false;
    }
    mPosition = position;
    if (mGrowsWithPosition && position > mSize) {
        mSize = position;
    }
    return true;
}

void CZetaStreamBase::setError(int error) {
    if (mError == 0) {
        mError = error;
    }
}
