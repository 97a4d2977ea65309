// The converter's command line, as the plug-in's conversion driver builds it:
//
//   DerazoZoraveMain <source file> <destination directory>/index.html <fd>
//
// argument 1: the document to convert, used unchanged;
// argument 2: the full path of the HTML entry page to write; its directory
//             receives the page and everything it refers to;
// argument 3: the decimal number of the pipe's write end inherited from the
//             plug-in, or -1 to report on stderr only (for runs by hand).
#pragma once

#include <string>

struct tConverterArgs {
    std::string sourcePath;
    std::string entryPagePath;
    std::string destinationDir;  // entryPagePath up to its last "/", which is kept
    std::string entryPageName;   // the rest, never empty
    int pipeFd;
};

// Parses argc/argv. False with a one-line reason in error when the count is
// wrong, a path is empty, the entry page has no file name, or the descriptor
// is not a decimal number from -1 to INT_MAX. An entry page given without a
// directory lies in the current directory ("./").
bool parseConverterArgs(int argc, const char* const argv[], tConverterArgs& args, std::string& error);
