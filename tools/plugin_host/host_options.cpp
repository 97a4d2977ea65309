#include "tools/plugin_host/host_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>

namespace plugin_host {

namespace {

bool parseNumber(const char* text, double minimum, double& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != nullptr && *end == '\0' && value >= minimum;
}

}  // namespace

const char* usageText() {
    return "Usage: plugin-host [options] DOCUMENT\n"
           "\n"
           "Loads the office viewer plug-in library the way the browser does, gives it a\n"
           "window, streams DOCUMENT to it, paints its frames and runs its asynchronous\n"
           "calls until it asks the browser to navigate to the converted page.\n"
           "\n"
           "Options:\n"
           "  --library PATH   plug-in library (default: ../lib/libRavudaRovudeZazizu.so\n"
           "                   next to this program, else the one of the build tree)\n"
           "  --url URL        stream URL (default: file:// + the document's absolute path);\n"
           "                   its extension decides whether the plug-in takes the stream\n"
           "  --mime TYPE      MIME type of the stream (default application/octet-stream)\n"
           "  --chunk BYTES    largest write into the plug-in (default 4096)\n"
           "  --rate BYTES     stream at most BYTES per second, to watch the progress bar\n"
           "                   (default: as fast as the plug-in takes them)\n"
           "  --size WxH       window size (default 800x480)\n"
           "  --fps N          frames per second the host paints (default 30)\n"
           "  --frames DIR     save every painted frame as DIR/frame-NNNN.png\n"
           "  --timeout SEC    give up after SEC seconds (default 120)\n"
           "  -q, --quiet      print only the plug-in's error lines\n"
           "  -v, --verbose    print every log line of the plug-in\n"
           "  --no-controller  do not run the plug-in controller stand-in\n"
           "  -h, --help       show this text\n"
           "\n"
           "Output: the plug-in's log lines (\"log:\"), messages it sends to the browser\n"
           "(\"message:\"), the plug-in controller traffic (\"controller:\") and finally the\n"
           "navigation (\"navigate:\"), one line each.\n"
           "\n"
           "The plug-in reads its configuration from the environment: OFFICE_PLUGINS_BIN\n"
           "(where DerazoZoraveMain is), OFFICE_PLUGINS_DATA (storage directory),\n"
           "OFFICE_PLUGINS_TIME_LIMIT, OFFICE_PLUGINS_MIME_TYPES and the others.\n"
           "\n"
           "Exit status: 0 navigated to the converted page, 1 error state, 2 timed out,\n"
           "64 bad usage, 66 document not readable, 70 the library could not be used.\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                error = std::string("option ") + name + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        double number = 0;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbosity = 2;
        } else if (arg == "-q" || arg == "--quiet") {
            options.verbosity = 0;
        } else if (arg == "--no-controller") {
            options.controller = false;
        } else if (arg == "--library" || arg == "--url" || arg == "--mime" || arg == "--frames") {
            const char* text = value(arg.c_str());
            if (text == nullptr) return false;
            if (arg == "--library") options.library = text;
            if (arg == "--url") options.url = text;
            if (arg == "--mime") options.mimeType = text;
            if (arg == "--frames") options.framesDir = text;
        } else if (arg == "--chunk" || arg == "--rate" || arg == "--fps" || arg == "--timeout") {
            const char* text = value(arg.c_str());
            if (text == nullptr) return false;
            double minimum = arg == "--rate" ? 0 : (arg == "--timeout" ? 0.001 : 1);
            if (!parseNumber(text, minimum, number)) {
                error = "bad value for " + arg + ": " + text;
                return false;
            }
            if (arg == "--chunk") options.chunkSize = static_cast<size_t>(number);
            if (arg == "--rate") options.byteRate = number;
            if (arg == "--fps") options.fps = static_cast<int>(number);
            if (arg == "--timeout") options.timeout = number;
        } else if (arg == "--size") {
            const char* text = value("--size");
            if (text == nullptr) return false;
            int width = 0, height = 0;
            char tail = 0;
            if (std::sscanf(text, "%dx%d%c", &width, &height, &tail) != 2 || width < 1 || height < 1 ||
                width > 8192 || height > 8192) {
                error = std::string("bad value for --size: ") + text + " (expected WIDTHxHEIGHT)";
                return false;
            }
            options.width = width;
            options.height = height;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option: " + arg;
            return false;
        } else if (options.document.empty()) {
            options.document = arg;
        } else {
            error = "more than one document given: " + arg;
            return false;
        }
    }
    if (!options.help && options.document.empty()) {
        error = "no document given";
        return false;
    }
    return true;
}

}  // namespace plugin_host
