#include "converter_program/suite_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "converter_program/office_macro.h"

namespace NSuiteProfile {

const char* const sMacroUrl = "vnd.sun.star.script:office_export.py$export?language=Python&location=user";

namespace {

bool makeDir(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST; }

bool writeText(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "we");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    int saved = errno;
    ok = std::fclose(file) == 0 && ok;
    if (!ok && errno == 0) {
        errno = saved;
    }
    return ok;
}

}  // namespace

std::string productVersion(const std::string& programPath) {
    std::string::size_type slash = programPath.rfind('/');
    std::string programDir = slash == std::string::npos ? std::string(".") : programPath.substr(0, slash);
    std::ifstream in(programDir + "/../share/registry/main.xcd", std::ios::binary);
    if (!in) {
        return std::string();
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    std::string::size_type at = text.find("oor:name=\"ooSetupVersion\">");
    if (at == std::string::npos) {
        return std::string();
    }
    std::string::size_type open = text.find("<value>", at);
    std::string::size_type close = text.find("</value>", at);
    if (open == std::string::npos || close == std::string::npos || close < open || close - open > 40) {
        return std::string();
    }
    std::string version = text.substr(open + 7, close - open - 7);
    for (char c : version) {
        if (!((c >= '0' && c <= '9') || c == '.')) {
            return std::string();
        }
    }
    return version;
}

bool create(const std::string& profileDir, const std::string& version) {
    const std::string user = profileDir + "user";
    if (!makeDir(user) || !makeDir(user + "/Scripts") || !makeDir(user + "/Scripts/python")) {
        return false;
    }
    if (!writeText(user + "/Scripts/python/" + sExportMacroName, sExportMacroText)) {
        return false;
    }
    if (version.empty()) {
        return true;
    }
    std::string seed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
        "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
        "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
        "oor:op=\"fuse\"><value>" + version + "</value></prop></item>\n"
        "</oor:items>\n";
    return writeText(user + "/registrymodifications.xcu", seed);
}

std::string fileUrl(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

}  // namespace NSuiteProfile
