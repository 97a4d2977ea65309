// plugin-host as a person runs it: options, exit statuses, frames, and two
// processes sharing one storage directory.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/plugin_host/plugin_host_test_support.h"
#include "tests/support/converter_stand_in.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

class PluginHost : public PluginHostTest {
protected:
    void SetUp() override { prepare(test_support::converterStandInDir(), 20); }

    std::string document(const std::string& name, const std::string& script) {
        std::string path = mRoot + "/" + name;
        std::ofstream(path) << script;
        return path;
    }

    static size_t countEntries(const std::string& directory, const std::string& suffix = "") {
        size_t count = 0;
        if (DIR* dir = opendir(directory.c_str())) {
            while (dirent* entry = readdir(dir)) {
                std::string name = entry->d_name;
                if (name == "." || name == "..") continue;
                if (suffix.empty() || (name.size() >= suffix.size() &&
                                       name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)) {
                    ++count;
                }
            }
            closedir(dir);
        }
        return count;
    }

};

TEST_F(PluginHost, HelpAndBadUsage) {
    HostRun help = run("--help");
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.output.find("Usage: plugin-host"));
    EXPECT_NE(std::string::npos, help.output.find("--frames DIR"));
    EXPECT_EQ(64, run("--bogus x.doc").status);
    EXPECT_EQ(64, run("").status);
    EXPECT_EQ(64, run("--chunk 0 x.doc").status);
    EXPECT_EQ(64, run("--size 10 x.doc").status);
    EXPECT_EQ(64, run("--rate").status);
    HostRun missing = run("/nonexistent/file.doc");
    EXPECT_EQ(66, missing.status);
    EXPECT_NE(std::string::npos, missing.output.find("cannot read /nonexistent/file.doc"));
    EXPECT_EQ(70, run("--library /nonexistent.so " + document("a.doc", "index x\n")).status);
}

TEST_F(PluginHost, ConvertsPaintsAndPrintsTheNavigation) {
    std::string path = document("report.doc", "msg 0 working\nsleep 200\nindex Hello\n");
    HostRun result = run("--frames '" + mRoot + "/frames' --rate 20 --fps 50 '" + path + "'");
    EXPECT_EQ(0, result.status) << result.output;
    EXPECT_NE(std::string::npos, result.output.find("navigate: file://" + mRoot + "/data/converted/"));
    EXPECT_NE(std::string::npos, result.output.find("/index.html?originalpath=file://" + path + " (target _self)"));
    EXPECT_NE(std::string::npos, result.output.find("controller: register"));
    EXPECT_GT(countEntries(mRoot + "/frames", ".png"), 3u);
}

TEST_F(PluginHost, RefusedAndFailedDocumentsEndInTheErrorState) {
    HostRun refused = run("'" + document("notes.txt", "index x\n") + "'");
    EXPECT_EQ(1, refused.status) << refused.output;
    EXPECT_NE(std::string::npos, refused.output.find("File extension \"txt\" is disabled"));

    HostRun bad = run("'" + document("bad.xls", "msg 2 unreadable\n") + "'");
    EXPECT_EQ(1, bad.status) << bad.output;
    EXPECT_NE(std::string::npos, bad.output.find("message: Bad content (kind 1)"));
}

TEST_F(PluginHost, TimeOutHasItsOwnStatus) {
    HostRun slow = run("--timeout 0.5 '" + document("slow.ppt", "sleep 3000\nindex late\n") + "'");
    EXPECT_EQ(2, slow.status) << slow.output;
}

TEST_F(PluginHost, TwoProcessesShareOneCache) {
    std::string a = document("a.docx", "sleep 300\nindex A\n");
    std::string b = document("b.docx", "sleep 300\nindex B\n");
    std::string same1 = document("same1.doc", "sleep 200\nindex same\n");
    std::string same2 = document("same2.doc", "sleep 200\nindex same\n");
    std::string command = mEnvironment + RRZ_PLUGIN_HOST " -q '" + a + "' >/dev/null & " + mEnvironment +
                          RRZ_PLUGIN_HOST " -q '" + b + "' >/dev/null & " + mEnvironment + RRZ_PLUGIN_HOST " -q '" +
                          same1 + "' >/dev/null & " + mEnvironment + RRZ_PLUGIN_HOST " -q '" + same2 +
                          "' >/dev/null & fail=0; for job in 1 2 3 4; do wait -n || fail=1; done; exit $fail";
    EXPECT_EQ(0, std::system(("bash -c \"" + command + "\"").c_str()));
    // Three distinct documents: three cached conversions, whatever the order.
    std::string converted = mRoot + "/data/converted";
    size_t directories = countEntries(converted) - countEntries(converted, "version") -
                         countEntries(converted, "cache.db") - countEntries(converted, "cache_checksum");
    EXPECT_EQ(3u, directories);
    struct stat status;
    ASSERT_EQ(0, stat((converted + "/cache.db").c_str(), &status));
    EXPECT_EQ(3 * 64, status.st_size);
}

}  // namespace
