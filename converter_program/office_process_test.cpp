// How DerazoZoraveMain runs the office suite as a process: restart on
// request, process group, parent death, descriptors. The first tests use a
// stand-in suite (a shell script) and need no office suite.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "converter_program/converter_test_support.h"

namespace {

using namespace NConverterTest;

// A ZIP-looking input that passes the converter's first look.
std::string zipLookingFile(const CTempDir& dir) {
    std::string path = dir.path() + "in.docx";
    std::ofstream(path, std::ios::binary) << std::string("PK\x03\x04 not really", 16);
    return path;
}

// A stand-in suite: asks for a restart restarts times, then writes the
// entry page and the macro's result the way the export macro does.
std::string standInSuite(const CTempDir& dir, int restarts) {
    std::string path = dir.path() + "suite.sh";
    std::ofstream(path) << "#!/bin/sh\n"
                           "n=$(cat \"" << dir.path() << "starts\" 2>/dev/null || echo 0)\n"
                           "echo $((n + 1)) > \"" << dir.path() << "starts\"\n"
                           "[ \"$n\" -lt " << restarts << " ] && exit 81\n"
                           "echo \"<p>stand-in $RRZ_SOURCE</p>\" > \"$RRZ_TARGET\"\n"
                           "echo 'ok text' > \"$RRZ_RESULT\"\n";
    ::chmod(path.c_str(), 0700);
    return path;
}

TEST(ConverterProcess, SuiteAskingForARestartIsStartedOnceMore) {
    CTempDir dir;
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(zipLookingFile(dir), dir.path() + "out/index.html",
                                {"OFFICE_PLUGINS_CONVERTER_SUITE=" + standInSuite(dir, 1)}));
    ASSERT_TRUE(converter.finish());
    EXPECT_EQ(0, converter.exitStatus()) << converter.transcript();
    EXPECT_EQ("2\n", readFile(dir.path() + "starts"));
    EXPECT_TRUE(converter.hasMessage(0, "after 2 start(s): ok text")) << converter.transcript();
    EXPECT_NE(std::string::npos, readFile(dir.path() + "out/index.html").find("stand-in " + dir.path() + "in.docx"));
}

TEST(ConverterProcess, SecondRestartRequestIsAFailure) {
    CTempDir dir;
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(zipLookingFile(dir), dir.path() + "out/index.html",
                                {"OFFICE_PLUGINS_CONVERTER_SUITE=" + standInSuite(dir, 2)}));
    ASSERT_TRUE(converter.finish());
    EXPECT_EQ(1, converter.exitStatus());
    EXPECT_EQ("2\n", readFile(dir.path() + "starts"));
    EXPECT_TRUE(converter.hasMessage(2, "Error: the document could not be converted")) << converter.transcript();
    EXPECT_FALSE(exists(dir.path() + "out/index.html"));
    EXPECT_TRUE(workDirsIn(dir.path() + "out/").empty());
}

TEST(ConverterProcess, SuiteWritingPastTheCapIsKilled) {
    CTempDir dir;
    std::string suite = dir.path() + "suite.sh";
    // Writes 200 KB, then would hang for a minute.
    std::ofstream(suite) << "#!/bin/sh\n"
                            "head -c 204800 /dev/zero > \"$RRZ_TARGET\"\n"
                            "exec sleep 60\n";
    ::chmod(suite.c_str(), 0700);
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(zipLookingFile(dir), dir.path() + "out/index.html",
                                {"OFFICE_PLUGINS_CONVERTER_SUITE=" + suite, "OFFICE_PLUGINS_OUTPUT_LIMIT=0.1"}));
    const pid_t group = converter.pid();
    ASSERT_TRUE(converter.finish());
    EXPECT_LT(converter.seconds(), 10.0);
    EXPECT_EQ(1, converter.exitStatus());
    EXPECT_TRUE(converter.hasMessage(2, "Error: the converted document exceeds 104858 bytes")) << converter.transcript();
    EXPECT_FALSE(exists(dir.path() + "out/index.html"));
    EXPECT_TRUE(workDirsIn(dir.path() + "out/").empty());
    EXPECT_TRUE(processesInGroup(group).empty());
}

TEST(ConverterProcess, SuiteThatHangsAfterItsResultIsKilledAndTheResultUsed) {
    CTempDir dir;
    std::string suite = dir.path() + "suite.sh";
    std::ofstream(suite) << "#!/bin/sh\n"
                            "echo '<p>done</p>' > \"$RRZ_TARGET\"\n"
                            "echo 'ok text' > \"$RRZ_RESULT\"\n"
                            "exec sleep 60\n";
    ::chmod(suite.c_str(), 0700);
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(zipLookingFile(dir), dir.path() + "out/index.html",
                                {"OFFICE_PLUGINS_CONVERTER_SUITE=" + suite}));
    const pid_t group = converter.pid();
    ASSERT_TRUE(converter.finish());
    EXPECT_LT(converter.seconds(), 15.0);
    EXPECT_EQ(0, converter.exitStatus()) << converter.transcript();
    EXPECT_TRUE(converter.hasMessage(0, "ended with status 137")) << converter.transcript();
    EXPECT_EQ("<p>done</p>\n", readFile(dir.path() + "out/index.html"));
    EXPECT_TRUE(processesInGroup(group).empty());
}

TEST(ConverterProcess, MissingSuiteIsReportedAsAnError) {
    CTempDir dir;
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(zipLookingFile(dir), dir.path() + "out/index.html",
                                {"OFFICE_PLUGINS_CONVERTER_SUITE=" + dir.path() + "no-suite"}));
    ASSERT_TRUE(converter.finish());
    EXPECT_EQ(1, converter.exitStatus());
    EXPECT_TRUE(converter.hasMessage(2, "Error: office suite " + dir.path() + "no-suite")) << converter.transcript();
}

TEST(ConverterProcess, BadCommandLineEndsWithoutMessages) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const char* argv[] = {RRZ_CONVERTER_PATH, "only-one", nullptr};
        ::execv(RRZ_CONVERTER_PATH, const_cast<char* const*>(argv));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(2, WEXITSTATUS(status));
}

// Waits up to timeoutMs for a soffice.bin whose command line mentions part.
std::vector<pid_t> waitForSuite(const std::string& part, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        std::vector<pid_t> pids = suiteProcessesMentioning(part);
        if (!pids.empty()) {
            return pids;
        }
        ::usleep(20000);
    }
    return std::vector<pid_t>();
}

TEST(ConverterProcess, SuiteRunsInTheConverterGroupWithoutItsPipe) {
    if (!officeSuiteInstalled() || sample("sample.pptx").empty()) {
        GTEST_SKIP() << "office suite or sample documents not installed";
    }
    CTempDir dir;
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(sample("sample.pptx"), dir.path() + "index.html"));
    std::vector<pid_t> suite = waitForSuite(dir.path(), 20000);
    ASSERT_EQ(1u, suite.size());
    std::vector<pid_t> group = processesInGroup(converter.pid());
    EXPECT_NE(group.end(), std::find(group.begin(), group.end(), suite[0]));

    struct stat pipeStatus;
    ASSERT_EQ(0, ::fstat(converter.readFd(), &pipeStatus));
    const std::string pipeName = "pipe:[" + std::to_string(pipeStatus.st_ino) + "]";
    const std::string fdDir = "/proc/" + std::to_string(suite[0]) + "/fd/";
    for (int fd = 0; fd < 1024; ++fd) {
        char target[256];
        ssize_t n = ::readlink((fdDir + std::to_string(fd)).c_str(), target, sizeof target - 1);
        if (n > 0) {
            target[n] = '\0';
            EXPECT_NE(pipeName, target) << "descriptor " << fd;
        }
    }
    ASSERT_TRUE(converter.finish());
    EXPECT_EQ(0, converter.exitStatus()) << converter.transcript();
}

TEST(ConverterProcess, KillingTheConverterLeavesNoSuiteBehind) {
    if (!officeSuiteInstalled() || sample("sample.pptx").empty()) {
        GTEST_SKIP() << "office suite or sample documents not installed";
    }
    CTempDir dir;
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(sample("sample.pptx"), dir.path() + "index.html"));
    const pid_t group = converter.pid();
    // A fresh profile's first start ends by itself at once; the second one
    // is the conversion.
    std::vector<pid_t> first = waitForSuite(dir.path(), 20000);
    ASSERT_EQ(1u, first.size());
    pid_t conversion = -1;
    for (int waited = 0; waited < 20000 && conversion < 0; waited += 10) {
        for (pid_t pid : suiteProcessesMentioning(dir.path())) {
            if (pid != first[0]) {
                conversion = pid;
            }
        }
        if (conversion < 0) {
            ::usleep(10000);
        }
    }
    ASSERT_GT(conversion, 0);
    std::vector<pid_t> members = processesInGroup(group);
    ASSERT_NE(members.end(), std::find(members.begin(), members.end(), conversion));
    // Only the converter, as when it is killed alone: the suite must follow.
    ASSERT_EQ(0, ::kill(converter.pid(), SIGKILL));
    converter.finish();
    EXPECT_EQ(128 + SIGKILL, converter.exitStatus());
    bool gone = false;
    for (int waited = 0; waited < 3000 && !gone; waited += 20) {
        gone = processesInGroup(group).empty() && suiteProcessesMentioning(dir.path()).empty();
        if (!gone) {
            ::usleep(20000);
        }
    }
    EXPECT_TRUE(gone);
    for (pid_t left : processesInGroup(group)) {
        ::kill(left, SIGKILL);
    }
}

}  // namespace
