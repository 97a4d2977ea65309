// msgheader: the fixed 8-byte header of a converter pipe message.
//
// Layout, in the machine's own byte order (both ends run on one machine):
//   offset 0, 4 bytes: type   (LogMessage::type, signed 32-bit) 0 message,
//                              1 warning, 2 error; other values are read
//                              and dropped
//   offset 4, 4 bytes: length (unsigned 32-bit) number of text bytes that
//                              follow; no terminator on the wire
// There is no other framing: the end of the conversion is the converter
// closing its end of the pipe.
#pragma once

#include "platform/qv_types.h"

struct msgheader {
    Int32 type;
    UInt32 length;
};

static_assert(sizeof(msgheader) == 8, "the pipe header is 8 bytes");
