// The converter's own settings, from the environment it inherits from the
// browser (read once at start):
//   OFFICE_PLUGINS_CONVERTER_SUITE  the office suite's program, started
//       directly; default "/usr/lib/libreoffice/program/soffice.bin"
//   OFFICE_PLUGINS_OUTPUT_LIMIT     cap of one conversion's output in MiB,
//       fractions allowed ("0.5"); default 64. Values that are not a
//       positive number give the default.
//   OFFICE_PLUGINS_TIME_LIMIT       seconds the plug-in gives a conversion
//       (the plug-in's own setting); default 600. Bounds how long the office
//       suite service may take.
//   OFFICE_PLUGINS_CONVERTER_IDLE   seconds the office suite service (see
//       service_client.h) stays without work before it ends; default 300.
//       0 means no service: every conversion starts its own suite.
//   OFFICE_PLUGINS_CONVERTER_SERVICE_DIR  the service's private directory,
//       an absolute path; default "/tmp/officeplugins-converter-<uid>/"
//   OFFICE_PLUGINS_CONVERTER_SUITE_CONVERSIONS  conversions after which the
//       service starts a fresh suite; default 50
//   OFFICE_PLUGINS_CONVERTER_SUITE_MEMORY  resident MiB past which it does;
//       default 512
// Counts that are not whole numbers in range give their default. The
// service takes the last three when it starts.
#pragma once

#include <string>

struct tConverterSettings {
    std::string suiteProgram;
    unsigned long long outputLimit;  // bytes
    unsigned timeLimit;              // whole seconds, at least 1
    unsigned serviceIdle;            // seconds; 0: no service
    std::string serviceDir;          // ends with "/"
    unsigned suiteConversions;
    unsigned suiteMemoryMiB;
};

extern const char* const sDefaultSuiteProgram;
extern const unsigned long long sDefaultOutputLimit;

tConverterSettings readConverterSettings();
