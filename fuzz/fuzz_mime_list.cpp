// Fuzzes the enabled-extension list (OFFICE_PLUGINS_MIME_TYPES) as the MIME
// description is built from it. The description must hold every known
// extension of the list and nothing the list did not name: an entry can
// only come from the list, so a description longer than the fixed texts
// plus the list several times over means the builder made text up.
#include <cstddef>
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
    // The list is cut at its first NUL, as the environment would cut it.
    std::size_t listLength = std::strlen(list.c_str());
    std::size_t entries = 0;
    for (int i = 0; i < enabled.size(); ++i) entries += std::strlen(enabled.get(i).c_str());
    if (entries > listLength) abort();
    // Each known entry adds one fixed fragment of under 200 bytes plus its
    // name to both text types; unknown ones add a ";".
    std::size_t bound = 200 + 3 * listLength + (static_cast<std::size_t>(enabled.size()) + 1) * 200;
    if (std::strlen(description.c_str()) > bound) abort();
    return 0;
}
