#include "platform/qv_string_utilities.h"

#include <cstring>

namespace QVStringUtilities {

void split(TQVVector<CQVString>& out, const CQVString& text, const char* separator,
           bool skipEmpty) {
    out.clear();
    if (text.isEmpty()) {
        return;
    }
    const size_t separatorLength = separator == nullptr ? 0 : std::strlen(separator);
    if (separatorLength == 0) {
        out.push_back(text);
        return;
    }
    const char* start = text.c_str();
    const char* end = start + text.length();
    for (;;) {
        const char* hit = std::strstr(start, separator);
        const char* stop = hit != nullptr ? hit : end;
        if (!skipEmpty || stop != start) {
            out.push_back(CQVString(start, static_cast<UInt32>(stop - start)));
        }
        if (hit == nullptr) {
            break;
        }
        start = hit + separatorLength;
    }
}

}  // namespace QVStringUtilities
