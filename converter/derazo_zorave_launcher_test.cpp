// Starting and killing the converter: its arguments, environment, process
// group and descriptors, and its end with the browser process.
#include "converter/derazo_zorave_launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "converter/converter_test_util.h"
#include "converter/process_group_spawn.h"
#include "tests/support/log_capture.h"

using namespace converter_test;

namespace {

class Launcher : public ConverterTest {
protected:
    TQVVector<CQVString> scriptArgs(const std::string& scriptPath, const std::string& fd = "1") {
        TQVVector<CQVString> args;
        args.push_back(scriptPath.c_str());
        args.push_back((mDir / "out dir/index.html").c_str());
        args.push_back(fd.c_str());
        return args;
    }
    // The stand-in's pid, once it has written its record.
    pid_t recordedPid(const std::string& record) {
        std::vector<std::string> pids;
        eventually([&] { return !(pids = recorded(record, "pid")).empty(); });
        return pids.empty() ? -1 : std::atoi(pids[0].c_str());
    }
};

// Arguments with blanks and the environment reach the converter unchanged;
// it leads a process group of its own, and only the descriptor handed over
// goes with it; its kill takes its helpers along.
TEST_F(Launcher, ConverterGetsItsArgumentsOneDescriptorAndAGroupThatIsKilledWhole) {
    ::setenv("RRZ_LAUNCHER_MARK", "a value with blanks", 1);
    int handed[2];
    int other[2];
    ASSERT_EQ(0, ::pipe2(handed, O_CLOEXEC));
    ASSERT_EQ(0, ::pipe(other));  // not close-on-exec: the spawn must still not let it through
    const std::string record = mDir / "record";
    const std::string helper = mDir / "helper.pid";
    {
        CDerazoZoraveLauncher launcher;
        ASSERT_TRUE(launcher.start(scriptArgs(script("doc", "record " + record + "\nhelper " + helper + "\nhang\n"),
                                              std::to_string(handed[1])),
                                   handed[1]));
        pid_t pid = recordedPid(record);
        ASSERT_GT(pid, 0);
        std::vector<std::string> argv = recorded(record, "argv");
        EXPECT_EQ((std::vector<std::string>{converterStandIn(), mDir / "doc", mDir / "out dir/index.html",
                                            std::to_string(handed[1])}),
                  argv);
        std::vector<std::string> env = recorded(record, "env");
        EXPECT_NE(env.end(), std::find(env.begin(), env.end(), "RRZ_LAUNCHER_MARK=a value with blanks"));
        EXPECT_EQ(std::to_string(pid), recorded(record, "pgid").at(0));
        std::vector<std::string> fds = recorded(record, "fd");
        std::sort(fds.begin(), fds.end());
        std::vector<std::string> expected = {"0", "1", "2", std::to_string(handed[1])};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, fds);
        EXPECT_EQ(FD_CLOEXEC, ::fcntl(handed[1], F_GETFD) & FD_CLOEXEC);
        ASSERT_TRUE(eventually([&] { return std::atoi(readFile(helper).c_str()) > 0; }));
        EXPECT_TRUE(launcher.kill());
        EXPECT_FALSE(launcher.isStarted());
        EXPECT_TRUE(eventually([&] { return groupIsGone(pid); }));
    }
    for (int fd : {handed[0], handed[1], other[0], other[1]}) ::close(fd);
}

TEST_F(Launcher, MissingProgramLeavesTheLauncherIdle) {
    TempDir empty;
    useConverterDir(empty.path());
    LogCapture capture;
    CDerazoZoraveLauncher launcher;
    EXPECT_FALSE(launcher.start());
    EXPECT_TRUE(capture.contains("CDerazoZoraveLauncher::start: " + std::string(strerror(ENOENT)), 2));
    EXPECT_FALSE(launcher.isStarted());
    EXPECT_TRUE(launcher.kill());
}

// Gone or a zombie waiting for whoever adopted it.
bool hasEnded(pid_t pid) {
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat == "<missing>") return true;
    std::size_t close = stat.rfind(')');
    return close != std::string::npos && stat.size() > close + 2 && stat[close + 2] == 'Z';
}

// The converter must not outlive a browser process that is killed outright.
TEST(ProcessGroupSpawn, ConverterOfAKilledParentIsKilledToo) {
    TempDir dir;
    std::string script = dir / "hang.doc";
    ASSERT_TRUE(writeFile(script, "hang\n"));
    std::string program = std::string(RRZ_CONVERTER_STUB_DIR) + "/DerazoZoraveMain";
    std::string page = dir / "index.html";
    int report[2];
    ASSERT_EQ(0, pipe(report));
    pid_t browser = fork();
    if (browser == 0) {
        // The stand-in's fourth argument names a pipe it never writes to
        // while hanging; stdout will do.
        char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(script.c_str()),
                              const_cast<char*>(page.c_str()), const_cast<char*>("1"), nullptr};
        Int32 converter = NConverterProcess::spawnGroupLeader(program.c_str(), argv, 1);
        ssize_t written = write(report[1], &converter, sizeof(converter));
        (void)written;
        for (;;) pause();
    }
    ASSERT_GT(browser, 0);
    close(report[1]);
    Int32 converter = -1;
    ASSERT_EQ(static_cast<ssize_t>(sizeof(converter)), read(report[0], &converter, sizeof(converter)));
    close(report[0]);
    ASSERT_GT(converter, 0);
    EXPECT_FALSE(hasEnded(converter));

    ASSERT_EQ(0, kill(browser, SIGKILL));
    ASSERT_EQ(browser, waitpid(browser, nullptr, 0));
    EXPECT_TRUE(eventually([&] { return hasEnded(converter); }, 3000)) << "the converter outlived its parent";
    if (!hasEnded(converter)) kill(converter, SIGKILL);
}

}  // namespace
