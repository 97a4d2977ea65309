// The converter stand-in (tests/converter_stub): built as DerazoZoraveMain
// in a directory of its own, it runs the document it converts as its script,
// so a test chooses the converter's behaviour through the document's bytes.
// Point OFFICE_PLUGINS_BIN at converterStandInDir().
#pragma once

#include <string>
#include <vector>

namespace test_support {

const char* converterStandInDir();
// converterStandInDir() + "/DerazoZoraveMain"
std::string converterStandIn();
// The stand-in's processes whose command line names a path under tree.
std::vector<int> standInsUnder(const std::string& tree);
// The values of the "key=" lines of a file written by the script command
// "record <path>", in order.
std::vector<std::string> recorded(const std::string& path, const std::string& key);
// A script that reports progress and writes an entry page carrying text.
std::string convertingScript(const std::string& text);

}  // namespace test_support
