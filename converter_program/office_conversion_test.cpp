// DerazoZoraveMain with a suite of its own for each conversion: the real
// office suite, or a stand-in suite (a shell script) that misbehaves on
// purpose.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "converter_program/converter_test_support.h"
#include "converter_program/suite_profile.h"

namespace {

using namespace NConverterTest;

// Makes an executable stand-in suite running script; its path.
std::string standIn(const TempDir& dir, const std::string& name, const std::string& script) {
    const std::string path = dir / name + ".sh";
    EXPECT_TRUE(test_support::writeFile(path, "#!/bin/sh\n" + script + "\n"));
    EXPECT_EQ(0, ::chmod(path.c_str(), 0700));
    return path;
}

// One conversion per row, each ending as the plug-in must see it: the exit
// status, a telling message, the page or no page, and nothing left behind:
// no work directory (the suite's home, private to it), no suite, no
// stand-in of the converter's group.
TEST(OfficeConversion, EveryRunEndsCleanly) {
    RRZ_REQUIRE_OFFICE_SUITE();
    const struct {
        const char* name;
        const char* source;  // a sample, or one made here
        const char* suite;   // a stand-in suite's script, "" for none at all, nullptr for the office suite
        const char* limit;   // OFFICE_PLUGINS_OUTPUT_LIMIT
        int exitStatus;
        bool suiteStarts;
        const char* message;  // a line of the transcript: "<type>: <text>"
        const char* page;     // a part of the entry page
    } kRows[] = {
        {"empty file", "empty.doc", nullptr, "", 1, false, "is empty", ""},
        {"no regular file", "fifo.doc", nullptr, "", 1, false, "2: Error: can't read", ""},
        {"empty ZIP archive", "end.xlsx", nullptr, "", 1, false, "is not a Word, Excel or PowerPoint document", ""},
        {"compound file magic cut short", "short.xls", nullptr, "", 1, false, "is not a Word, Excel or", ""},
        {"document the suite cannot load", "cut.docx", nullptr, "", 1, true, "2: Error: the document could not be", ""},
        {"output past the cap", "sample.pptx", nullptr, "0.01", 1, true, "document exceeds 10486 bytes", ""},
        {"missing suite", "zip.docx", "", "", 1, false, "2: Error: office suite /", ""},
        {"suite asking for a restart starts once more", "zip.docx",
         "n=$(cat \"$HOME/n\" 2>/dev/null || echo 0); echo $((n + 1)) > \"$HOME/n\"; [ $n -lt 1 ] && exit 81\n"
         "echo \"<p>$RRZ_SOURCE in $(stat -c %a \"$HOME\")</p>\" > \"$RRZ_TARGET\"; echo 'ok text' > \"$RRZ_RESULT\"",
         "", 0, true, "0: Office suite ended with status 0 after 2 start(s): ok text", "zip.docx in 700</p>"},
        {"second restart request is a failure", "zip.docx", "exit 81", "", 1, true, "status 81 after 2 start(s)", ""},
        {"suite past the cap is killed with what it started", "zip.docx", "sleep 600 & head -c 204800 /dev/zero > \"$RRZ_TARGET\"; exec sleep 600",
         "0.1", 1, true, "2: Error: the converted document exceeds 104858 bytes", ""},
        {"pages past the cap are exported again within a quarter of it", "zip.docx",
         "[ \"$RRZ_OUTPUT_BUDGET\" -gt 40000 ] && { head -c 204800 /dev/zero > \"$RRZ_TARGET\"; exec sleep 600; }\n"
         "echo \"<p>within $RRZ_OUTPUT_BUDGET</p>\" > \"$RRZ_TARGET\"; echo 'ok spreadsheet' > \"$RRZ_RESULT\"",
         "0.1", 0, true, "1: Warning: the converted document exceeds 104858 bytes; exporting it again within 26214",
         "<p>within 26214</p>"},
        {"suite hanging after its result is killed, the result used", "zip.docx",
         "echo '<p>done</p>' > \"$RRZ_TARGET\"; echo 'ok text' > \"$RRZ_RESULT\"; exec sleep 600", "", 0, true,
         "ended with status 137", "<p>done</p>"},
    };
    TempDir dir("rrz_runs");
    const std::string whole = readFile(sample("sample.docx"));
    ASSERT_TRUE(test_support::writeFile(dir / "empty.doc", ""));
    ASSERT_TRUE(test_support::writeFile(dir / "cut.docx", whole.substr(0, whole.size() / 2)));
    ASSERT_TRUE(test_support::writeFile(dir / "zip.docx", std::string("PK\x03\x04 no zip", 11)));
    ASSERT_TRUE(test_support::writeFile(dir / "end.xlsx", std::string("PK\x05\x06", 4)));
    ASSERT_TRUE(test_support::writeFile(dir / "short.xls", std::string("\xD0\xCF\x11\xE0", 4)));
    ASSERT_EQ(0, ::mkfifo((dir / "fifo.doc").c_str(), 0600));
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> env = {std::string("OFFICE_PLUGINS_OUTPUT_LIMIT=") + row.limit};
        if (row.suite != nullptr) {
            const std::string suite = *row.suite ? standIn(dir, row.name, row.suite) : dir / "none";
            env.push_back("OFFICE_PLUGINS_CONVERTER_SUITE=" + suite);
        }
        // Blanks, URL delimiters and UTF-8 in the path: the suite's profile is found by a file URL.
        const std::string out = dir / row.name + " #%?\xC3\xA4/";
        CConverterProcess converter;
        const std::string source = sample(row.source).empty() ? dir / row.source : sample(row.source);
        ASSERT_TRUE(converter.start(source, out + "index.html", env));
        const pid_t group = converter.pid();
        EXPECT_TRUE(converter.finish()) << converter.transcript();
        EXPECT_EQ(row.exitStatus, converter.exitStatus()) << converter.transcript();
        EXPECT_NE(std::string::npos, converter.transcript().find(row.message)) << converter.transcript();
        EXPECT_EQ(row.exitStatus != 0, converter.hasMessage(2, "Error: ")) << converter.transcript();
        EXPECT_EQ(row.suiteStarts, converter.hasMessage(0, "Starting the office suite")) << converter.transcript();
        EXPECT_EQ(row.exitStatus == 0, exists(out + "index.html"));
        EXPECT_NE(std::string::npos, readFile(out + "index.html").find(row.page));
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(out, error)) {
            EXPECT_NE(0u, entry.path().filename().string().rfind(".convert-", 0)) << "work directory left";
        }
        EXPECT_TRUE(suitesUnder(out).empty());
        // The real suite's helpers may stay as zombies where nobody reaps them.
        EXPECT_TRUE(row.suite == nullptr || test_support::groupIsGone(group));
    }
    // The seed that spares the suite its first-start work needs the version.
    EXPECT_NE("", NSuiteProfile::productVersion(sDefaultSuiteProgram));
}

// The suite runs in the converter's process group without the converter's
// pipe, and dies with the converter even when only the converter is killed.
TEST(OfficeConversion, SuiteLivesInTheConverterGroupAndDiesWithIt) {
    TempDir dir("rrz_group");
    const std::string source = dir / "in.docx";
    ASSERT_TRUE(test_support::writeFile(source, std::string("PK\x03\x04 no zip", 11)));
    const std::string suite = standIn(dir, "suite", "echo $$ > \"$RRZ_SOURCE.pid\"; exec sleep 600");
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(source, dir / "out/index.html", {"OFFICE_PLUGINS_CONVERTER_SUITE=" + suite}));
    const pid_t group = converter.pid();
    ASSERT_TRUE(eventually([&] { return readFile(source + ".pid").find('\n') != std::string::npos; }, 30000));
    const pid_t pid = std::atoi(readFile(source + ".pid").c_str());
    EXPECT_EQ(group, ::getpgid(pid));
    struct stat pipe;
    ASSERT_EQ(0, ::fstat(converter.readFd(), &pipe));
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        std::error_code closedMeanwhile;  // the shell's own passing descriptors
        EXPECT_NE("pipe:[" + std::to_string(pipe.st_ino) + "]",
                  std::filesystem::read_symlink(entry, closedMeanwhile).string());
    }
    ASSERT_EQ(0, ::kill(group, SIGKILL));
    converter.finish();
    EXPECT_EQ(128 + SIGKILL, converter.exitStatus());
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";  // gone, or ended and not yet reaped
    EXPECT_TRUE(eventually(
        [&] { return readFile(stat) == "<missing>" || readFile(stat).find(") Z ") != std::string::npos; }, 10000));
    ::kill(-group, SIGKILL);
}

TEST(OfficeConversion, BadCommandLineEndsWithStatus2) {
    int status = std::system("'" RRZ_CONVERTER_PATH "' only-one 2>/dev/null");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(2, WEXITSTATUS(status));
}

}  // namespace
