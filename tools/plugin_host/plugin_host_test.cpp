// plugin-host as a person runs it, on the converter stand-in: options, exit
// statuses, frames, and processes sharing one storage directory.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/converter_stand_in.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using test_support::readFile;

struct HostRun {
    int status = -1;
    std::string output;
};

// A private storage directory and shared-memory prefix per test.
class PluginHost : public ::testing::Test {
protected:
    void TearDown() override { unlink(("/dev/shm/" + shmPrefix + "officeplugin_storage_mutex").c_str()); }
    // The document's path, quoted for the shell.
    std::string document(const std::string& name, const std::string& script) {
        EXPECT_TRUE(test_support::writeFile(root / name, script));
        return "'" + root / name + "'";
    }
    // Starts plugin-host with the arguments (shell words); finish() waits for it.
    FILE* start(const std::string& arguments) {
        std::string environment = "OFFICE_PLUGINS_DATA='" + root / "data" + "' OFFICE_PLUGINS_BIN='" +
                                  test_support::converterStandInDir() + "' QV_SHM_PREFIX='" + shmPrefix +
                                  "' OFFICE_PLUGINS_TIME_LIMIT=20 ";
        return popen((environment + RRZ_PLUGIN_HOST " " + arguments + " 2>&1").c_str(), "r");
    }
    static HostRun finish(FILE* pipe) {
        HostRun result;
        if (pipe == nullptr) return result;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0;) result.output.append(buffer, n);
        int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }
    HostRun run(const std::string& arguments) { return finish(start(arguments)); }

    test_support::TempDir root{"rrz-plugin-host"};
    std::string shmPrefix = "rrz-host-" + std::to_string(getpid()) + "-";
};

TEST_F(PluginHost, UsageErrorsAndFailuresEndWithTheirOwnExitStatus) {
    const struct {
        const char* name;
        std::string arguments;
        int status;
        const char* output;
    } rows[] = {
        {"help", "--help", 0, "Usage: plugin-host"},
        {"unknown option", "--bogus x.doc", 64, "unknown option: --bogus"},
        {"no document", "", 64, ""},
        {"chunk of 0", "--chunk 0 x.doc", 64, ""},
        {"size without height", "--size 10 x.doc", 64, "bad value for --size"},
        {"option without value", "--rate", 64, ""},
        {"missing document", "/nonexistent/file.doc", 66, "cannot read /nonexistent/file.doc"},
        {"missing library", "--library /nonexistent.so " + document("a.doc", "index x\n"), 70, ""},
        {"disabled extension", document("notes.txt", "index x\n"), 1, "File extension \"txt\" is disabled"},
        {"bad content", document("bad.xls", "msg 2 unreadable\n"), 1, "message: Bad content (kind 1)"},
        {"time limit", "--timeout 0.5 " + document("slow.ppt", "sleep 3000\nindex late\n"), 2, ""},
    };
    for (const auto& row : rows) {
        HostRun result = run(row.arguments);
        EXPECT_EQ(row.status, result.status) << row.name << "\n" << result.output;
        EXPECT_NE(std::string::npos, result.output.find(row.output)) << row.name << "\n" << result.output;
    }
}

TEST_F(PluginHost, ConvertsPaintsFramesOfTheWindowSizeAndPrintsTheNavigation) {
    std::string path = document("report.doc", "msg 0 working\nsleep 200\nindex Hello\n");
    HostRun result = run("--frames '" + root / "frames" + "' --rate 20 --fps 50 --size 320x200 " + path);
    EXPECT_EQ(0, result.status) << result.output;
    for (const std::string& line : {"navigate: file://" + root / "data/converted/", std::string("controller: register"),
                                    "/index.html?originalpath=file://" + root / "report.doc (target _self)"}) {
        EXPECT_NE(std::string::npos, result.output.find(line)) << line;
    }
    // A PNG header holds the width and the height, big-endian, at byte 16.
    std::string png = readFile(root / "frames/frame-0003.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(std::string("\0\0\x01\x40\0\0\0\xc8", 8), png.substr(16, 8));
}

TEST_F(PluginHost, ProcessesConvertingAtOnceShareOneCache) {
    const char* documents[][2] = {{"a.docx", "sleep 300\nindex A\n"}, {"b.docx", "sleep 300\nindex B\n"},
                                  {"same1.doc", "sleep 200\nindex same\n"}, {"same2.doc", "sleep 200\nindex same\n"}};
    std::vector<FILE*> running;
    for (auto& doc : documents) running.push_back(start("-q " + document(doc[0], doc[1])));
    for (FILE* process : running) {
        HostRun result = finish(process);
        EXPECT_EQ(0, result.status) << result.output;
    }
    // Three distinct documents: three conversions in the cache, whatever the order.
    size_t directories = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root / "data/converted"))
        directories += entry.is_directory();
    EXPECT_EQ(3u, directories);
    EXPECT_EQ(3u * 64, readFile(root / "data/converted/cache.db").size());
}

}  // namespace
