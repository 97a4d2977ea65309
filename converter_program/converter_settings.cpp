#include "converter_program/converter_settings.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>

const char* const sDefaultSuiteProgram = "/usr/lib/libreoffice/program/soffice.bin";
const unsigned long long sDefaultOutputLimit = 64ULL << 20;

namespace {

// A whole number from low to high, or fallback.
unsigned readCount(const char* name, unsigned fallback, unsigned low, unsigned high) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text < '0' || *text > '9') {
        return fallback;
    }
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    return (*end == '\0' && value >= low && value <= high) ? static_cast<unsigned>(value) : fallback;
}

}  // namespace

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
    settings.timeLimit = 600;
    if (const char* limit = std::getenv("OFFICE_PLUGINS_TIME_LIMIT")) {
        // The plug-in reads fractions too; the service counts whole seconds.
        double seconds = std::strtod(limit, nullptr);
        if (std::isfinite(seconds) && seconds <= 1e7) {
            settings.timeLimit = seconds < 1 ? 1 : static_cast<unsigned>(std::ceil(seconds));
        }
    }
    settings.serviceIdle = readCount("OFFICE_PLUGINS_CONVERTER_IDLE", 300, 0, 86400 * 365);
    const char* dir = std::getenv("OFFICE_PLUGINS_CONVERTER_SERVICE_DIR");
    // Absolute only: the service runs in a directory of its own.
    settings.serviceDir = (dir != nullptr && *dir == '/')
                              ? dir
                              : "/tmp/officeplugins-converter-" + std::to_string(::getuid());
    if (settings.serviceDir.back() != '/') {
        settings.serviceDir += '/';
    }
    settings.suiteConversions = readCount("OFFICE_PLUGINS_CONVERTER_SUITE_CONVERSIONS", 50, 1, 1000000);
    settings.suiteMemoryMiB = readCount("OFFICE_PLUGINS_CONVERTER_SUITE_MEMORY", 512, 1, 1048576);
    return settings;
}
