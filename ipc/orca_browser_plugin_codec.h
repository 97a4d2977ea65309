// Field encoding of OrcaBrowserPlugin messages.
//
// Fields follow one another in the Zeta stream's buffer at a running
// position. Positions count from the start of the buffer, header included
// (the header is 40 bytes, so 4-byte alignment is the same counted from the
// payload).
//
//   Int32, UInt32, eResult   the position is rounded up to a multiple of 4
//                            (zero padding), then 4 bytes, native order
//   text                     UInt32 count N (aligned as above); for a
//                            non-empty text N = length + 1 and N bytes follow:
//                            the characters and a zero byte, no rounding. The
//                            empty text is N = 0 alone. Reading takes the
//                            first N - 1 bytes (up to a zero byte).
//   parameter list           Int32 count of pairs, then each pair: name
//                            text, value text
//
// Example: "ab" then the Int32 5 at position 40:
//   03 00 00 00 'a' 'b' 00 | 00 (padding) | 05 00 00 00
//
// Writing grows the buffer through setCapacity(); a field that does not fit
// is not written at all and sets the stream's error, after which every write
// is skipped. Reading never looks past the received bytes: a field that runs
// past the end sets the error to ERANGE (34) and every later read is
// skipped; a text or list that cannot be read whole is returned empty.
// Readers answer whether the stream is still free of errors.
#pragma once

#include "ipc/orca_browser_plugin.h"
#include "platform/qv_vector.h"
#include "platform/zeta/zeta_istream.h"
#include "platform/zeta/zeta_ostream.h"

namespace OrcaBrowserPlugin {

void ZetaWriteUInt32(CZetaOStream& out, UInt32 value);
void ZetaWriteInt32(CZetaOStream& out, Int32 value);
void ZetaWriteString(CZetaOStream& out, const CQVString& text);
void ZetaWriteTNameValuePair(CZetaOStream& out, const tNameValuePair& pair);
void ZetaWriteTParameterList(CZetaOStream& out, const TQVVector<tNameValuePair>& list);

// The write position after a field written at `position`, without writing:
// a sender learns a message's size before building it.
std::size_t ZetaEndOfUInt32(std::size_t position);
std::size_t ZetaEndOfString(std::size_t position, const CQVString& text);

bool ZetaReadUInt32(const CZetaIStream& in, UInt32& value);
bool ZetaReadInt32(const CZetaIStream& in, Int32& value);
bool ZetaReadEResult(const CZetaIStream& in, eResult& value);
bool ZetaReadString(const CZetaIStream& in, CQVString& text);
bool ZetaReadTNameValuePair(const CZetaIStream& in, tNameValuePair& pair);
// A count that is negative or larger than the remaining bytes could hold is
// an ERANGE error before anything is allocated.
bool ZetaReadTParameterList(const CZetaIStream& in, TQVVector<tNameValuePair>& list);

}  // namespace OrcaBrowserPlugin
