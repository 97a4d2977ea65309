#include "converter_program/converter_settings.h"

#include <cmath>
#include <cstdlib>

const char* const sDefaultSuiteProgram = "/usr/lib/libreoffice/program/soffice.bin";
const unsigned long long sDefaultOutputLimit = 64ULL << 20;

tConverterSettings readConverterSettings() {
    tConverterSettings settings;
    const char* program = std::getenv("OFFICE_PLUGINS_CONVERTER_SUITE");
    settings.suiteProgram = (program != nullptr && *program != '\0') ? program : sDefaultSuiteProgram;
    settings.outputLimit = sDefaultOutputLimit;
    if (const char* limit = std::getenv("OFFICE_PLUGINS_OUTPUT_LIMIT")) {
        char* end = nullptr;
        double megabytes = std::strtod(limit, &end);
        // Up to 1 TiB; anything else is a typing error.
        if (end != limit && *end == '\0' && std::isfinite(megabytes) && megabytes > 0 && megabytes <= 1048576.0) {
            settings.outputLimit = static_cast<unsigned long long>(std::ceil(megabytes * 1048576.0));
        }
    }
    return settings;
}
