// One whole conversion: the document named by the command line becomes the
// entry page and the files beside it in the destination directory.
//
// The suite exports into a staging directory inside a private work
// directory ("<destination>.convert-XXXXXX/"); only a complete, cleaned
// result is moved into the destination, and the work directory is removed
// before this returns, so when the caller then closes the pipe (after which
// the plug-in kills the converter at once) nothing is left half-done.
//
// Progress goes to the reporter as messages, refusals and failures as one
// "Error: ..." message. Returns the process exit status: 0 when the entry
// page is in place, 1 otherwise (then no entry page exists).
//
// REQUIRES: single-threaded process, SIGPIPE ignored.
#pragma once

#include "converter_program/converter_args.h"
#include "converter_program/converter_settings.h"
#include "converter_program/pipe_reporter.h"

int runConversion(const tConverterArgs& args, const tConverterSettings& settings, CPipeReporter& reporter);
