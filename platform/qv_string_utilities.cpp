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
    for (;;) {
        const char* hit = std::strstr(start, separator);
        const char* stop = hit != nullptr ? hit : text.end();
        if (!skipEmpty || stop != start) {
            out.push_back(CQVString(start, static_cast<UInt32>(stop - start)));
        }
        if (hit == nullptr) {
            break;
        }
        start = hit + separatorLength;
    }
}

void split(TQVVector<CQVString>& out, const CQVString& text, char separator, bool skipEmpty) {
    const char separatorText[2] = {separator, '\0'};
    split(out, text, separatorText, skipEmpty);
}

}  // namespace QVStringUtilities
