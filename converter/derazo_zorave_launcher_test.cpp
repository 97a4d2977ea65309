#include "converter/derazo_zorave_launcher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "converter/converter_test_util.h"
#include "tests/support/log_capture.h"

using namespace converter_test;

namespace {

class LauncherTest : public ConverterTest {
protected:
    TQVVector<CQVString> scriptArgs(const std::string& scriptPath, const std::string& fd = "1") {
        TQVVector<CQVString> args;
        args.push_back(scriptPath.c_str());
        args.push_back((mDir / "out dir/index.html").c_str());
        args.push_back(fd.c_str());
        return args;
    }
    // The stand-in's recorded pid, once it has written its record.
    pid_t recordedPid(const std::string& recordPath) {
        std::vector<std::string> pids;
        eventually([&] { return !(pids = recorded(recordPath, "pid")).empty(); });
        return pids.empty() ? -1 : std::atoi(pids[0].c_str());
    }
};

TEST_F(LauncherTest, ArgumentsWithBlanksAndEnvironmentReachChildUnchanged) {
    ::setenv("RRZ_LAUNCHER_MARK", "a value with blanks", 1);
    std::string out = mDir / "record";
    LogCapture capture;
    {
        CDerazoZoraveLauncher launcher;
        ASSERT_TRUE(launcher.start(scriptArgs(script("doc", "record " + out + "\nhang\n"))));
        EXPECT_TRUE(launcher.isStarted());
        pid_t pid = recordedPid(out);
        ASSERT_GT(pid, 0);

        std::vector<std::string> argv = recorded(out, "argv");
        ASSERT_EQ(4u, argv.size());
        EXPECT_EQ(std::string(RRZ_CONVERTER_STUB_DIR) + "/DerazoZoraveMain", argv[0]);
        EXPECT_EQ(mDir / "doc", argv[1]);
        EXPECT_EQ(mDir / "out dir/index.html", argv[2]);
        EXPECT_EQ("1", argv[3]);
        std::vector<std::string> env = recorded(out, "env");
        EXPECT_NE(env.end(), std::find(env.begin(), env.end(), "RRZ_LAUNCHER_MARK=a value with blanks"));
        // Leader of its own process group.
        EXPECT_EQ(std::to_string(pid), recorded(out, "pgid").at(0));
        EXPECT_TRUE(launcher.kill());
        EXPECT_FALSE(launcher.isStarted());
        EXPECT_TRUE(groupIsGone(pid));
    }
    EXPECT_TRUE(capture.contains("CDerazoZoraveLauncher::start: " + std::string(RRZ_CONVERTER_STUB_DIR) +
                                     "/DerazoZoraveMain",
                                 0));
    EXPECT_TRUE(capture.contains("CDerazoZoraveLauncher::start: Success!", 0));
    EXPECT_TRUE(capture.contains("CDerazoZoraveLauncher::kill: pid: ", 0));
    EXPECT_EQ(0u, capture.texts(2).size());
}

TEST_F(LauncherTest, EmptyArgumentListRunsProgramWithItsPathOnly) {
    std::string out = mDir / "record";
    ::setenv("RRZ_STUB_RECORD", out.c_str(), 1);
    CDerazoZoraveLauncher launcher;
    ASSERT_TRUE(launcher.start());
    ASSERT_GT(recordedPid(out), 0);
    EXPECT_EQ(std::vector<std::string>{"1"}, recorded(out, "argc"));
    EXPECT_EQ(std::vector<std::string>{std::string(RRZ_CONVERTER_STUB_DIR) + "/DerazoZoraveMain"},
              recorded(out, "argv"));
    EXPECT_TRUE(eventually(hasNoChildren));
}

TEST_F(LauncherTest, ChildKeepsOnlyTheHandedOverDescriptor) {
    int handed[2];
    int other[2];
    ASSERT_EQ(0, ::pipe2(handed, O_CLOEXEC));
    // Not close-on-exec: the spawn must still not let it through.
    ASSERT_EQ(0, ::pipe(other));
    std::string out = mDir / "record";
    {
        CDerazoZoraveLauncher launcher;
        ASSERT_TRUE(launcher.start(scriptArgs(script("doc", "record " + out + "\n"),
                                              std::to_string(handed[1])),
                                   handed[1]));
        ASSERT_GT(recordedPid(out), 0);
        std::vector<std::string> fds = recorded(out, "fd");
        std::vector<std::string> expected = {"0", "1", "2", std::to_string(handed[1])};
        std::sort(fds.begin(), fds.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, fds);
        // The write end stays close-on-exec in this process.
        EXPECT_EQ(FD_CLOEXEC, ::fcntl(handed[1], F_GETFD) & FD_CLOEXEC);
    }
    for (int fd : {handed[0], handed[1], other[0], other[1]}) ::close(fd);
}

TEST_F(LauncherTest, SecondStartIsRefused) {
    LogCapture capture;
    CDerazoZoraveLauncher launcher;
    ASSERT_TRUE(launcher.start(scriptArgs(script("doc", "hang\n"))));
    EXPECT_FALSE(launcher.start(scriptArgs(mDir / "doc")));
    EXPECT_TRUE(capture.contains("CDerazoZoraveLauncher::start: Already started", 2));
    EXPECT_EQ(1u, capture.count("Success!"));
    EXPECT_TRUE(launcher.stop());
}

TEST_F(LauncherTest, KillTakesHelperProcessesAlong) {
    std::string pidFile = mDir / "helper.pid";
    std::string out = mDir / "record";
    CDerazoZoraveLauncher launcher;
    ASSERT_TRUE(launcher.start(scriptArgs(script("doc", "record " + out + "\nhelper " + pidFile + "\nhang\n"))));
    pid_t pid = recordedPid(out);
    ASSERT_TRUE(eventually([&] { return readFile(pidFile) != "<missing>" && !readFile(pidFile).empty(); }));
    pid_t helper = std::atoi(readFile(pidFile).c_str());
    ASSERT_GT(helper, 0);
    ASSERT_EQ(0, ::kill(helper, 0));

    EXPECT_TRUE(launcher.kill());
    // The helper was reparented, so only its disappearance tells.
    EXPECT_TRUE(eventually([&] { return groupIsGone(pid); }));
}

TEST_F(LauncherTest, ConverterThatEndedByItselfIsReapedAndCannotBeKilled) {
    LogCapture capture;
    pid_t pid = -1;
    std::string out = mDir / "record";
    {
        CDerazoZoraveLauncher launcher;
        ASSERT_TRUE(launcher.start(scriptArgs(script("doc", "record " + out + "\nexit 3\n"))));
        pid = recordedPid(out);
        // Reaped at once, although nobody asked the launcher.
        EXPECT_TRUE(eventually(hasNoChildren));
        EXPECT_TRUE(launcher.isStarted());

        EXPECT_FALSE(launcher.kill());
        EXPECT_TRUE(capture.contains("CDerazoZoraveLauncher::kill: " + std::string(strerror(ESRCH)), 1));
        EXPECT_TRUE(launcher.isStarted());
        EXPECT_FALSE(launcher.start(scriptArgs(mDir / "doc")));
        EXPECT_TRUE(capture.contains("Already started", 2));
    }
    EXPECT_TRUE(capture.contains("CDerazoZoraveLauncher::~CDerazoZoraveLauncher: Can't stop converter. pid: " +
                                     std::to_string(pid),
                                 2));
}

TEST_F(LauncherTest, IdleLauncherKillsNothingAndLogsNothing) {
    LogCapture capture;
    {
        CDerazoZoraveLauncher launcher;
        EXPECT_FALSE(launcher.isStarted());
        EXPECT_TRUE(launcher.kill());
        EXPECT_TRUE(launcher.stop());
    }
    EXPECT_TRUE(capture.lines().empty());
}

TEST_F(LauncherTest, CopyStrCopiesWithTerminatorAndKeepsNull) {
    EXPECT_EQ(nullptr, CDerazoZoraveLauncher::copyStr(nullptr));
    const char text[] = "a b";
    char* copy = CDerazoZoraveLauncher::copyStr(text);
    ASSERT_NE(nullptr, copy);
    EXPECT_NE(text, copy);
    EXPECT_EQ(0, std::memcmp(text, copy, sizeof(text)));
    delete[] copy;
}

TEST_F(LauncherTest, MissingProgramLeavesLauncherIdle) {
    TempDir empty;
    useConverterDir(empty.path());
    LogCapture capture;
    CDerazoZoraveLauncher launcher;
    EXPECT_FALSE(launcher.start());
    EXPECT_TRUE(capture.contains("CDerazoZoraveLauncher::start: " + std::string(strerror(ENOENT)), 2));
    EXPECT_FALSE(launcher.isStarted());
    capture.clear();
    EXPECT_TRUE(launcher.kill());
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(hasNoChildren());
}

}  // namespace
