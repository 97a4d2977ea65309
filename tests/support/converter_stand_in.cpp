#include "tests/support/converter_stand_in.h"

#include <sstream>

#include "tests/support/files.h"
#include "tests/support/processes.h"

namespace test_support {

const char* converterStandInDir() { return RRZ_CONVERTER_STUB_DIR; }

std::string converterStandIn() { return std::string(converterStandInDir()) + "/DerazoZoraveMain"; }

std::vector<int> standInsUnder(const std::string& tree) { return processesUnder(converterStandIn(), tree); }

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
