// Fixed-width integers of the platform. Use these wherever a size or a layout
// matters (file sizes, digests, wire fields): the device is 32-bit ARM and the
// development hosts are 64-bit, so plain int/long would differ between them.
#pragma once

#include <cstdint>

typedef std::int8_t Int8;
typedef std::uint8_t UInt8;
typedef std::int16_t Int16;
typedef std::uint16_t UInt16;
typedef std::int32_t Int32;
typedef std::uint32_t UInt32;
typedef std::int64_t Int64;
typedef std::uint64_t UInt64;
