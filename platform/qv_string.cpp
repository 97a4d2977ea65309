#include "platform/qv_string.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

CQVString::CQVString(const char* text) {
    if (text != nullptr) {
        mText = text;
    }
}

CQVString::CQVString(const char* text, UInt32 length) {
    if (text != nullptr) {
        mText.assign(text, strnlen(text, length));
    }
}

CQVString::CQVString(UInt32 capacity) { mText.reserve(capacity); }

CQVString& CQVString::operator=(const char* text) {
    if (text == nullptr) {
        mText.clear();
    } else {
        mText = text;  // std::string copes with text pointing into itself
    }
    return *this;
}

CQVString& CQVString::append(const char* text) {
    if (text != nullptr) {
        mText.append(text);
    }
    return *this;
}

CQVString& CQVString::append(const CQVString& text) {
    mText.append(text.mText);
    return *this;
}

CQVString& CQVString::append(char c) {
    if (c != '\0') {
        mText.push_back(c);
    }
    return *this;
}

bool CQVString::format(const char* format, ...) {
    mText.clear();
    if (format == nullptr) {
        return false;
    }
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(small, sizeof(small), format, args);
    va_end(args);
    bool ok = needed >= 0;
    if (ok && static_cast<size_t>(needed) < sizeof(small)) {
        mText.assign(small, static_cast<size_t>(needed));
    } else if (ok) {
        std::string big(static_cast<size_t>(needed) + 1, '\0');
        ok = std::vsnprintf(&big[0], big.size(), format, again) == needed;
        if (ok) {
            big.resize(static_cast<size_t>(needed));
            mText.swap(big);
        }
    }
    va_end(again);
    // "%c" with 0 would embed a terminator; the text ends there.
    if (ok) {
        mText.resize(std::strlen(mText.c_str()));
    }
    return ok;
}

bool operator==(const CQVString& a, const CQVString& b) {
    return a.length() == b.length() && std::strcmp(a.c_str(), b.c_str()) == 0;
}
bool operator==(const CQVString& a, const char* b) {
    return std::strcmp(a.c_str(), b == nullptr ? "" : b) == 0;
}
bool operator==(const char* a, const CQVString& b) { return b == a; }
bool operator!=(const CQVString& a, const CQVString& b) { return !(a == b); }
bool operator!=(const CQVString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CQVString& b) { return !(b == a); }

CQVString operator+(const CQVString& a, const CQVString& b) {
    CQVString result(a);
    return result.append(b);
}
CQVString operator+(const CQVString& a, const char* b) {
    CQVString result(a);
    return result.append(b);
}
CQVString operator+(const char* a, const CQVString& b) {
    CQVString result(a);
    return result.append(b);
}
