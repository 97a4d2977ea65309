#include "storage/cache_entry.h"

#include <cstring>

namespace {

const unsigned kMd5Offset = 0;
const unsigned kTimeOffset = 16;
const unsigned kSizeOffset = 24;
const unsigned kEntryPointOffset = 28;

void putLittleEndian(UInt64 value, unsigned bytes, UInt8* out) {
    for (unsigned i = 0; i < bytes; ++i) {
        out[i] = static_cast<UInt8>(value >> (8 * i));
    }
}

UInt64 getLittleEndian(const UInt8* in, unsigned bytes) {
    UInt64 value = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        value |= static_cast<UInt64>(in[i]) << (8 * i);
    }
    return value;
}

}  // namespace

CCacheEntry::CCacheEntry() : time(0), size(0) {
    std::memset(md5, 0, sizeof(md5));
    std::memset(entryPoint, 0, sizeof(entryPoint));
}

bool CCacheEntry::setEntryPoint(const char* name) {
    std::memset(entryPoint, 0, sizeof(entryPoint));
    if (!isValidEntryPoint(name)) {
        return false;
    }
    std::memcpy(entryPoint, name, std::strlen(name));
    return true;
}

bool CCacheEntry::isValidEntryPoint(const char* name) {
    if (name == nullptr) {
        return false;
    }
    size_t length = strnlen(name, ENTRY_POINT_SIZE);
    return length > 0 && length < ENTRY_POINT_SIZE && std::strchr(name, '/') == nullptr &&
           std::strstr(name, "..") == nullptr;
}

void CCacheEntry::serialize(UInt8 (&record)[RECORD_SIZE]) const {
    std::memcpy(record + kMd5Offset, md5, sizeof(md5));
    putLittleEndian(time, 8, record + kTimeOffset);
    putLittleEndian(size, 4, record + kSizeOffset);
    // Zeros after the NUL, so equal records give equal bytes.
    size_t length = strnlen(entryPoint, sizeof(entryPoint) - 1);
    std::memset(record + kEntryPointOffset, 0, ENTRY_POINT_SIZE);
    std::memcpy(record + kEntryPointOffset, entryPoint, length);
}

CCacheEntry CCacheEntry::parse(const UInt8 (&record)[RECORD_SIZE]) {
    CCacheEntry entry;
    std::memcpy(entry.md5, record + kMd5Offset, sizeof(entry.md5));
    entry.time = getLittleEndian(record + kTimeOffset, 8);
    entry.size = static_cast<UInt32>(getLittleEndian(record + kSizeOffset, 4));
    // A field without a NUL is not a name that fits the record.
    if (std::memchr(record + kEntryPointOffset, 0, ENTRY_POINT_SIZE) != nullptr) {
        std::memcpy(entry.entryPoint, record + kEntryPointOffset, ENTRY_POINT_SIZE);
    }
    return entry;
}
