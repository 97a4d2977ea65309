// Misbehaving converters seen from a plug-in instance of the shipped
// library: each ends as the conversion driver promises (navigation for a
// finished conversion, "Bad content" otherwise), cut off by the time limit
// only when it never ends by itself, the instance answers draw events all
// the while, and no converter process, helper or grandchild is left, nor
// anything of a failed conversion in the working area.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "tests/integration/office_viewer_fixture.h"
#include "tests/support/converter_stand_in.h"
#include "tests/support/processes.h"

namespace {

struct Misbehaviour {
    const char* name;
    const char* script;
    bool navigates;
    bool cutAtTheLimit;  // ends only by the time limit
};

bool showsErrorColour(host::DrawTarget& target) {
    for (int y = 0; y < 120; y += 2)
        for (int x = 0; x < 200; x += 2)
            if (target.pixel(x, y) == kErrorPixel) return true;
    return false;
}

void PrintTo(const Misbehaviour& behaviour, std::ostream* out) { *out << behaviour.name; }

// The time limit is 2 s for every case.
const Misbehaviour kCases[] = {
    {"Hang", "msg 0 working\nhang\n", false, true},
    // 5,000 relayed lines: enough to flood, and done well within the limit
    // even in a sanitizer build on a loaded machine.
    {"FloodOfSmallMessages", "flood 5000 0 tick\nindex flooded\n", true, false},
    {"OversizeLength", "header 0 4294967295\nhang\n", false, false},
    {"EarlyExitWithoutPage", "exit 3\n", false, false},
    {"Garbage", "garbage 4096\nhang\n", false, false},
    {"ClosesPipeButKeepsRunning", "index written\nclosepipe\nhang\n", true, false},
    // The watcher of the converter's end kills its process group, which
    // closes the grandchild's copy of the pipe: a finished conversion.
    {"GrandchildHoldsThePipeOpen", "index written\ngrandchild\nexit 0\n", true, false},
    {"IgnoresSigterm", "ignoreterm\nindex written\nhang\n", false, true},
    {"CrashesAfterItsPage", "index written\nraise 11\n", false, false},
};

class ConverterMatrix : public OfficeViewerFixture, public ::testing::WithParamInterface<Misbehaviour> {
protected:
    void SetUp() override {
        OfficeViewerFixture::SetUp();
        if (HasFatalFailure()) return;
        setenv("OFFICE_PLUGINS_TIME_LIMIT", "2", 1);
        start();
    }
};

TEST_P(ConverterMatrix, EndsAsPromisedStaysResponsiveAndLeavesNothingRunning) {
    const Misbehaviour& behaviour = GetParam();
    host::HostInstance instance(browser);
    ASSERT_EQ(NPERR_NO_ERROR, instance.create("application/msword"));
    ASSERT_EQ(NPERR_NO_ERROR, instance.setWindow(0, 0, 200, 120));
    host::DrawTarget target(200, 120);
    auto start = std::chrono::steady_clock::now();
    instance.stream("http://matrix.test/" + std::string(behaviour.name) + ".doc", behaviour.script);

    int draws = 0;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        browser.runUntil([&] { return !browser.navigations().empty() || !browser.messages().empty(); },
                         std::chrono::milliseconds(20));
        ended = !browser.navigations().empty() || !browser.messages().empty();
        EXPECT_EQ(1, instance.draw(&target));
        ++draws;
    }
    ASSERT_TRUE(ended) << "no outcome";
    const std::string cutOff = "read Header: " + std::string(strerror(ETIME));
    EXPECT_EQ(behaviour.cutAtTheLimit, browser.logContains(cutOff));
    // Two seconds until the limit, a draw every 20 ms: a plug-in thread
    // blocked by the conversion would have drawn once or twice.
    if (behaviour.cutAtTheLimit) {
        EXPECT_GT(draws, 5) << "the plug-in thread was blocked";
    }
    if (behaviour.navigates) {
        EXPECT_EQ(1u, browser.navigations().size());
        EXPECT_TRUE(browser.messages().empty());
    } else {
        ASSERT_EQ(1u, browser.messages().size());
        EXPECT_EQ("Bad content", browser.messages()[0].text);
        EXPECT_TRUE(browser.navigations().empty());
        // The worker posts the error state to the plug-in thread after the
        // message.
        EXPECT_TRUE(browser.runUntil([&] { return instance.draw(&target) == 1 && showsErrorColour(target); },
                                     std::chrono::milliseconds(2000)))
            << "the instance did not turn to its error colour";
        EXPECT_EQ(std::vector<std::string>(), test_support::listDirectory(dataDir() + "files"));
    }
    EXPECT_TRUE(test_support::eventually([&] { return test_support::standInsUnder(root()).empty(); }))
        << "a converter process is left";
    EXPECT_EQ(NPERR_NO_ERROR, instance.destroy());
}

INSTANTIATE_TEST_SUITE_P(Converters, ConverterMatrix, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Misbehaviour>& info) { return info.param.name; });

}  // namespace
