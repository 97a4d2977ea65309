// The texts of office_export.py, the export macro the office suite runs,
// and of the office suite service's Python files that import it (compiled
// in at build time, so the program needs no data files).
#pragma once

namespace NSuiteProfile {
extern const char* const sExportMacroText;
extern const char* const sExportMacroName;  // file name inside the profile

struct tProgramFile {
    const char* name;
    const char* text;
};
// converter_service.py (the program to run) first, then office_suite.py.
extern const tProgramFile sServiceFiles[2];
}
