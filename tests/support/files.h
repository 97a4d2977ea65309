// Whole-file reading and writing and existence checks for tests.
#pragma once

#include <string>
#include <vector>

namespace test_support {

// The file's bytes, or "<missing>" when it cannot be opened.
std::string readFile(const std::string& path);
// Creates or replaces path with content; false on any failure.
bool writeFile(const std::string& path, const std::string& content);
// Whether path names anything (a dangling symbolic link counts).
bool exists(const std::string& path);
// The names in a directory, "." and ".." left out, sorted; empty when it
// cannot be read.
std::vector<std::string> listDirectory(const std::string& dir);

}  // namespace test_support
