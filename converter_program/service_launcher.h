// Starting the office suite service (converter_service.py) for a private
// directory.
//
// The service's program and the export macro it imports are compiled into
// the converter (office_macro.h) and written into the directory, with a
// profile seed for its suite, each time a service is started. The service runs in a session of its own, so
// that the plug-in's kill of the converter's process group spares it, and
// it is no child of the converter (it is handed to init at once). It gets
// no descriptor of the converter: standard input from /dev/null, output
// appended to "service.log" in the directory, nothing above 2. Its
// environment is the suite's (suite_environment.h) without the RRZ_*
// entries.
//
// REQUIRES: single-threaded process; dir is a private directory of this
// user (service_directory.h).
#pragma once

#include <string>

#include "converter_program/converter_settings.h"

extern const char* const sServicePython;

#include <sys/types.h>

// The service's pid once it has been handed its program (whether it comes
// up shows when it accepts connections), or -1 with errno set, among others
// when sServicePython is missing.
pid_t launchService(const tConverterSettings& settings);

// False once the launched service has ended (it lost the start to another
// service, or could not run).
bool serviceProcessRuns(pid_t pid);
