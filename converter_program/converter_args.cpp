#include "converter_program/converter_args.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool parseFd(const char* text, int& fd) {
    // strtol would also take blanks and a "+".
    if (!((*text >= '0' && *text <= '9') || *text == '-')) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < -1 || value > INT_MAX) {
        return false;
    }
    fd = static_cast<int>(value);
    return true;
}

}  // namespace

bool parseConverterArgs(int argc, const char* const argv[], tConverterArgs& args, std::string& error) {
    if (argc != 4) {
        error = "expected 3 arguments: <source file> <destination entry page> <pipe descriptor>";
        return false;
    }
    args.sourcePath = argv[1];
    args.entryPagePath = argv[2];
    if (args.sourcePath.empty() || args.entryPagePath.empty()) {
        error = "empty path argument";
        return false;
    }
    std::string::size_type slash = args.entryPagePath.rfind('/');
    if (slash == std::string::npos) {
        args.destinationDir = "./";
        args.entryPageName = args.entryPagePath;
    } else {
        args.destinationDir = args.entryPagePath.substr(0, slash + 1);
        args.entryPageName = args.entryPagePath.substr(slash + 1);
    }
    if (args.entryPageName.empty() || args.entryPageName == "." || args.entryPageName == "..") {
        error = "the entry page path has no file name: " + args.entryPagePath;
        return false;
    }
    if (!parseFd(argv[3], args.pipeFd)) {
        error = std::string("bad pipe descriptor: ") + argv[3];
        return false;
    }
    return true;
}
