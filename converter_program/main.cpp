// DerazoZoraveMain: converts one Word, Excel or PowerPoint document to HTML
// for the office viewer plug-in. See converter_args.h for the command line,
// converter_settings.h for the environment, conversion.h for what it does.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "converter_program/conversion.h"
#include "converter_program/converter_args.h"
#include "converter_program/converter_settings.h"
#include "converter_program/pipe_reporter.h"
#include "converter_program/suite_process.h"

int main(int argc, char** argv) {
    // A plug-in that has stopped listening must not kill the conversion
    // half-way through moving its result.
    ::signal(SIGPIPE, SIG_IGN);
    markAllCloseOnExec();
    adoptOrphans();

    tConverterArgs args;
    std::string error;
    if (!parseConverterArgs(argc, argv, args, error)) {
        std::fprintf(stderr, "DerazoZoraveMain: %s\n", error.c_str());
        return 2;
    }
    CPipeReporter reporter(args.pipeFd);
    int status = runConversion(args, readConverterSettings(), reporter);
    endSuiteLeftovers();
    reporter.close();
    return status;
}
