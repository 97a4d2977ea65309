// CQVString: an 8-bit text value.
//
// The text is a sequence of bytes without an embedded zero byte, always
// followed by a terminator, so c_str() can go straight to C APIs. Comparison
// is exact and case-sensitive. A null const char* is taken as the empty text.
//
// A CQVString is a value: distinct objects may be used on distinct threads
// freely; one object must not be modified while another thread reads it.
#pragma once

#include <cstddef>
#include <string>

#include "platform/qv_types.h"

class CQVString {
public:
    CQVString() = default;
    CQVString(const char* text);  // NOLINT: implicit on purpose, like a literal
    // The first length bytes of text (stops early at a zero byte).
    CQVString(const char* text, UInt32 length);
    // Empty, with room for capacity bytes before the first reallocation.
    explicit CQVString(UInt32 capacity);

    CQVString(const CQVString&) = default;
    CQVString(CQVString&&) noexcept = default;
    CQVString& operator=(const CQVString&) = default;
    CQVString& operator=(CQVString&&) noexcept = default;
    CQVString& operator=(const char* text);

    const char* c_str() const { return mText.c_str(); }
    UInt32 length() const { return static_cast<UInt32>(mText.size()); }
    bool isEmpty() const { return mText.empty(); }

    CQVString& append(const char* text);
    CQVString& append(const CQVString& text);
    CQVString& append(char c);
    CQVString& operator+=(const char* text) { return append(text); }
    CQVString& operator+=(const CQVString& text) { return append(text); }

    // Replaces the content with the printf-style output of format, of any
    // length. Returns false when the format cannot be rendered (a conversion
    // error reported by vsnprintf); the string is then empty.
    bool format(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    std::string mText;
};

bool operator==(const CQVString& a, const CQVString& b);
bool operator==(const CQVString& a, const char* b);
bool operator==(const char* a, const CQVString& b);
bool operator!=(const CQVString& a, const CQVString& b);
bool operator!=(const CQVString& a, const char* b);
bool operator!=(const char* a, const CQVString& b);

CQVString operator+(const CQVString& a, const CQVString& b);
CQVString operator+(const CQVString& a, const char* b);
CQVString operator+(const char* a, const CQVString& b);
