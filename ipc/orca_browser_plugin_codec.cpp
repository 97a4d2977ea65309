#include "ipc/orca_browser_plugin_codec.h"

#include <cerrno>
#include <cstring>

namespace OrcaBrowserPlugin {

namespace {

std::size_t aligned(std::size_t position) { return (position + 3) & ~static_cast<std::size_t>(3); }

// Reserves room for `length` bytes at the aligned position, zeroes the
// padding and answers where the field starts; false (error set) when the
// message cannot grow.
bool reserve(CZetaOStream& out, std::size_t length, std::size_t& start) {
    if (out.getError() != 0) return false;
    const std::size_t position = out.getPosition();
    start = aligned(position);
    if (!out.setCapacity(start + length)) {
        out.setError(errno == EMSGSIZE ? EMSGSIZE : ENOMEM);
        return false;
    }
    std::memset(out.getBuffer() + position, 0, start - position);
    return true;
}

bool read32(const CZetaIStream& in, void* value) { return in.align(4) && in.read(value, 4); }

}  // namespace

void ZetaWriteUInt32(CZetaOStream& out, UInt32 value) {
    std::size_t start;
    if (!reserve(out, 4, start)) return;
    std::memcpy(out.getBuffer() + start, &value, 4);
    out.setPosition(start + 4);
}

void ZetaWriteInt32(CZetaOStream& out, Int32 value) { ZetaWriteUInt32(out, static_cast<UInt32>(value)); }

void ZetaWriteString(CZetaOStream& out, const CQVString& text) {
    const UInt32 count = text.isEmpty() ? 0 : text.length() + 1;
    std::size_t start;
    if (!reserve(out, 4 + static_cast<std::size_t>(count), start)) return;
    std::memcpy(out.getBuffer() + start, &count, 4);
    if (count != 0) std::memcpy(out.getBuffer() + start + 4, text.c_str(), count);
    out.setPosition(start + 4 + count);
}

std::size_t ZetaEndOfUInt32(std::size_t position) { return aligned(position) + 4; }

std::size_t ZetaEndOfString(std::size_t position, const CQVString& text) {
    return aligned(position) + 4 + (text.isEmpty() ? 0 : static_cast<std::size_t>(text.length()) + 1);
}

void ZetaWriteTNameValuePair(CZetaOStream& out, const tNameValuePair& pair) {
    ZetaWriteString(out, pair.name);
    ZetaWriteString(out, pair.value);
}

void ZetaWriteTParameterList(CZetaOStream& out, const TQVVector<tNameValuePair>& list) {
    ZetaWriteInt32(out, list.size());
    for (int i = 0; i < list.size(); ++i) {
        ZetaWriteTNameValuePair(out, list.get(i));
    }
}

bool ZetaReadUInt32(const CZetaIStream& in, UInt32& value) {
    UInt32 read = 0;
    if (!read32(in, &read)) return false;
    value = read;
    return true;
}

bool ZetaReadInt32(const CZetaIStream& in, Int32& value) {
    UInt32 read = 0;
    if (!ZetaReadUInt32(in, read)) return false;
    value = static_cast<Int32>(read);
    return true;
}

bool ZetaReadEResult(const CZetaIStream& in, eResult& value) {
    UInt32 read = 0;
    if (!ZetaReadUInt32(in, read)) return false;
    value = static_cast<eResult>(read);
    return true;
}

bool ZetaReadString(const CZetaIStream& in, CQVString& text) {
    text = CQVString();
    UInt32 count = 0;
    if (!ZetaReadUInt32(in, count)) return false;
    if (count == 0) return true;
    // Checked before anything is built: the text never holds bytes that did
    // not arrive.
    if (count > in.remaining()) return in.skip(count);
    text = CQVString(reinterpret_cast<const char*>(in.current()), count - 1);
    return in.skip(count);
}

bool ZetaReadTNameValuePair(const CZetaIStream& in, tNameValuePair& pair) {
    return ZetaReadString(in, pair.name) && ZetaReadString(in, pair.value);
}

bool ZetaReadTParameterList(const CZetaIStream& in, TQVVector<tNameValuePair>& list) {
    list.clear();
    Int32 count = 0;
    if (!ZetaReadInt32(in, count)) return false;
    // Every pair takes at least two 4-byte counts.
    if (count < 0 || static_cast<std::size_t>(count) > in.remaining() / 8) {
        in.skip(in.remaining() + 1);  // marks the stream as read past its end
        return false;
    }
    for (Int32 i = 0; i < count; ++i) {
        tNameValuePair pair;
        if (!ZetaReadTNameValuePair(in, pair)) {
            list.clear();
            return false;
        }
        list.push_back(pair);
    }
    return true;
}

}  // namespace OrcaBrowserPlugin
