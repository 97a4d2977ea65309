// Command-line options of plugin-host.
#pragma once

#include <string>

namespace plugin_host {

struct Options {
    std::string document;    // file to stream
    std::string library;     // plug-in library; empty: the default search
    std::string url;         // stream URL; empty: file:// + absolute document path
    std::string mimeType = "application/octet-stream";
    std::string framesDir;   // save painted frames as PNG here; empty: don't
    size_t chunkSize = 4096;
    double byteRate = 0;     // bytes per second; 0: as fast as the plug-in takes them
    int width = 800;
    int height = 480;
    int fps = 30;
    double timeout = 120;    // seconds until the run counts as timed out
    int verbosity = 1;       // 0: errors, 1: + warnings, 2: + messages
    bool controller = true;  // run the plug-in controller stand-in
    bool help = false;
};

// Exit statuses.
enum ExitStatus {
    EXIT_NAVIGATED = 0,
    EXIT_ERROR_STATE = 1,
    EXIT_TIMED_OUT = 2,
    EXIT_USAGE = 64,
    EXIT_NO_INPUT = 66,
    EXIT_SOFTWARE = 70
};

// Fills options from argv. False with a message in error when an option is
// unknown, lacks its value or has a bad one.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
const char* usageText();

}  // namespace plugin_host
