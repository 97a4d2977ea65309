// The texts of office_export.py, the export macro the office suite runs,
// and of converter_service.py, the office suite service that imports it
// (compiled in at build time, so the program needs no data files).
#pragma once

namespace NSuiteProfile {
extern const char* const sExportMacroText;
extern const char* const sExportMacroName;  // file name inside the profile
extern const char* const sServiceProgramText;
extern const char* const sServiceProgramName;
}
