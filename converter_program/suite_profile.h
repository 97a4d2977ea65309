// The private profile ("user installation") of one office suite run.
//
// Every conversion gets a fresh profile, so conversions can run side by side
// (the suite refuses a profile that another instance holds). The profile is
// seeded with the export macro and with the suite's product version as the
// last version run: without it the suite takes each start for the first one
// after an update and spends seconds on its graphics self-test.
#pragma once

#include <string>

namespace NSuiteProfile {

// The macro URL that runs the export macro installed by create().
extern const char* const sMacroUrl;

// The product version ("7.4") from the suite's configuration, found from
// the path of its program (<install>/program/soffice.bin); empty when it
// cannot be read.
std::string productVersion(const std::string& programPath);

// Creates the profile below profileDir (which must exist): the macro, and
// the version seed when version is not empty. False with errno set.
bool create(const std::string& profileDir, const std::string& version);

// "file://" URL of a path, with everything but unreserved characters and
// "/" percent-encoded.
std::string fileUrl(const std::string& path);

}  // namespace NSuiteProfile
