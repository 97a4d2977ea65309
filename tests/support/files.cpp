#include "tests/support/files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include <fstream>
#include <sstream>

namespace test_support {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    return static_cast<bool>(out);
}

bool exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

std::vector<std::string> listDirectory(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* handle = ::opendir(dir.c_str())) {
        while (struct dirent* entry = ::readdir(handle)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(handle);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace test_support
