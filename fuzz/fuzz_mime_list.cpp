// Fuzzes the enabled-extension list (OFFICE_PLUGINS_MIME_TYPES) as the MIME
// description is built from it: the enabled entries come from the list (cut
// at its first NUL, as the environment would cut it), and each known entry
// adds one fixed fragment of under 200 bytes plus its name to both text
// types, so a longer description means the builder made text up.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "office_viewer/mime_description.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string list(reinterpret_cast<const char*>(data), size);
    CQVString description;
    TQVVector<CQVString> enabled;
    buildMimeDescription(list.c_str(), description, enabled);
    std::size_t listLength = std::strlen(list.c_str()), entries = 0;
    for (const CQVString& entry : enabled) entries += entry.length();
    if (entries > listLength) abort();
    if (description.length() > 200 + 3 * listLength + (enabled.size() + 1u) * 200) abort();
    return 0;
}
