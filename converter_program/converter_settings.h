// The converter's own settings, from the environment it inherits from the
// browser (read once at start):
//   OFFICE_PLUGINS_CONVERTER_SUITE  the office suite's program, started
//       directly; default "/usr/lib/libreoffice/program/soffice.bin"
//   OFFICE_PLUGINS_OUTPUT_LIMIT     cap of one conversion's output in MiB,
//       fractions allowed ("0.5"); default 64. Values that are not a
//       positive number give the default.
#pragma once

#include <string>

struct tConverterSettings {
    std::string suiteProgram;
    unsigned long long outputLimit;  // bytes
};

extern const char* const sDefaultSuiteProgram;
extern const unsigned long long sDefaultOutputLimit;

tConverterSettings readConverterSettings();
