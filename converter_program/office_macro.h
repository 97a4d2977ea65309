// The text of office_export.py, the export macro the office suite runs
// (compiled in at build time, so the program needs no data files).
#pragma once

namespace NSuiteProfile {
extern const char* const sExportMacroText;
extern const char* const sExportMacroName;  // file name inside the profile
}
