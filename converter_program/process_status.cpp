#include "converter_program/process_status.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

bool readProcessStatus(pid_t pid, tProcessStatus& status) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The command name in parentheses may hold anything; the fields follow the last ')'.
    const std::string::size_type close = text.rfind(')');
    int parent = 0;
    int group = 0;
    if (close == std::string::npos ||
        std::sscanf(text.c_str() + close + 1, " %c %d %d", &status.state, &parent, &group) != 3) {
        return false;
    }
    status.parent = parent;
    status.group = group;
    return true;
}
