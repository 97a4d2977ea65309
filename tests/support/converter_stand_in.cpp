#include "tests/support/converter_stand_in.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/support/files.h"

namespace test_support {

const char* converterStandInDir() { return RRZ_CONVERTER_STUB_DIR; }

std::string converterStandIn() { return std::string(converterStandInDir()) + "/DerazoZoraveMain"; }

std::vector<int> standInsUnder(const std::string& tree) {
    // The stand-in runs directly, or under user-mode emulation: binfmt_misc
    // starts qemu-<cpu> with the program as its first argument.
    const std::string program = converterStandIn();
    std::vector<int> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        int pid = std::atoi(entry.path().filename().c_str());
        char target[4096];
        ssize_t length = pid > 0 ? ::readlink((entry.path() / "exe").c_str(), target, sizeof(target) - 1) : -1;
        if (length <= 0) continue;
        std::string exe(target, static_cast<size_t>(length));
        std::string commandLine = readFile(entry.path() / "cmdline");
        size_t first = commandLine.find('\0');
        bool emulated = exe.compare(exe.rfind('/') + 1, 5, "qemu-") == 0 && first != std::string::npos &&
                        commandLine.compare(first + 1, program.size() + 1, program + '\0') == 0;
        if ((exe == program || emulated) && commandLine.find(tree) != std::string::npos) found.push_back(pid);
    }
    return found;
}

std::vector<std::string> recorded(const std::string& path, const std::string& key) {
    std::vector<std::string> values;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, key.size() + 1, key + "=") == 0) values.push_back(line.substr(key.size() + 1));
    }
    return values;
}

std::string convertingScript(const std::string& text) {
    return "msg 0 converting " + text + "\nindex " + text + "\n";
}

}  // namespace test_support
