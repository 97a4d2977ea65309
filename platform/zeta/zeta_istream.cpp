#include "platform/zeta/zeta_istream.h"

#include <cerrno>
#include <cstring>

CZetaIStream::CZetaIStream() : mValid(false) {}

bool CZetaIStream::assign(const void* message, std::size_t length) {
    mValid = false;
    mError = 0;
    mSize = 0;
    mPosition = 0;
    mHeader = Zeta::MessageHeader();
    if (length > Zeta::MAX_MESSAGE_SIZE) {
        mError = EMSGSIZE;
        return false;
    }
    if (message == nullptr || !setCapacity(length == 0 ? 1 : length)) {
        mError = message == nullptr ? EBADMSG : ENOMEM;
        return false;
    }
    if (length != 0) std::memcpy(mBuffer, message, length);
    mSize = length;
    if (!Zeta::readHeader(mBuffer, length, mHeader)) {
        mError = EBADMSG;
        return false;
    }
    mPosition = Zeta::HEADER_SIZE;
    mValid = true;
    return true;
}

bool CZetaIStream::read(void* out, std::size_t length) const {
    if (mError != 0) return false;
    if (mPosition > mSize || length > mSize - mPosition) {
        self().setError(ERANGE);
        return false;
    }
    if (length != 0) std::memcpy(out, mBuffer + mPosition, length);
    self().mPosition += length;
    return true;
}

bool CZetaIStream::skip(std::size_t length) const {
    if (mError != 0) return false;
    if (mPosition > mSize || length > mSize - mPosition) {
        self().setError(ERANGE);
        return false;
    }
    self().mPosition += length;
    return true;
}

bool CZetaIStream::align(std::size_t multiple) const {
    if (mError != 0) return false;
    if (multiple == 0) return true;
    std::size_t rounded = (mPosition + multiple - 1) / multiple * multiple;
    if (rounded > mSize) {
        self().setError(ERANGE);
        return false;
    }
    self().mPosition = rounded;
    return true;
}

std::size_t CZetaIStream::remaining() const { return mPosition < mSize ? mSize - mPosition : 0; }
