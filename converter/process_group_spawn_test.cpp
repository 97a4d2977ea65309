// The converter must not outlive a browser process that is killed outright
// (found by the multi-process chaos test: hung converters of SIGKILLed
// processes ran on for ever).
#include "converter/process_group_spawn.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "converter/converter_test_util.h"

namespace {

using namespace converter_test;

// Gone or a zombie waiting for whoever adopted it.
bool hasEnded(pid_t pid) {
    std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat == "<missing>") return true;
    std::size_t close = stat.rfind(')');
    return close != std::string::npos && stat.size() > close + 2 && stat[close + 2] == 'Z';
}

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
