// The log line's form, its length limit, and lines from many threads.
#include "log/logger.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/log_capture.h"

namespace {

TEST(Logger, ReducesSignaturesToQualifiedNames) {
    const struct { const char *signature, *name; } rows[] = {
        {"virtual NPError _CQVPluginBase::SetWindow(NPWindow*)", "_CQVPluginBase::SetWindow"},
        {"static void CConverterOffice::listen", "CConverterOffice::listen"},
        {"std::map<int, int> A::f(std::pair<int, int>)", "A::f"},  // the last blank before "(" counts
        {"", ""},
        {"(anonymous)::x()", "(anonymous)::x()"},
        {"void f (int)", "void f (int)"},
        {" f(int)", " f"},  // a blank in the first position is not looked at
    };
    for (const auto& row : rows) {
        char out[512];
        CLogger::reduceFunctionName(row.signature, out, sizeof(out));
        EXPECT_STREQ(row.name, out) << row.signature;
    }
}

TEST(Logger, LinesCarryPrefixAndNameAtTheirLevelWithin2046CharactersFromAnyThread) {
    LogCapture capture;
    CLogger::log(LogMessage::MESSAGE, "", "void A::m(int)", "value=%d", 7);
    CLogger::log(LogMessage::WARNING, "", "void A::w()", "%s", "careful");
    CLogger::log(static_cast<LogMessage::type>(3), "", "void A::x()", "dropped");
    CLogger::log(LogMessage::ERROR, "", "void f()", "%s", std::string(5000, 'x').c_str());
    CLogger::log(LogMessage::ERROR, "", std::string(3000, 'n').c_str(), "tail");
    auto lines = capture.lines();
    ASSERT_EQ(4u, lines.size());
    EXPECT_TRUE(lines[0].level == 0 && lines[0].text == "[VavavozaRozoruv] A::m: value=7") << lines[0].text;
    EXPECT_TRUE(lines[1].level == 1 && lines[1].text == "[VavavozaRozoruv] A::w: careful") << lines[1].text;
    EXPECT_EQ(2, lines[2].level);
    EXPECT_EQ("[VavavozaRozoruv] f: " + std::string(2046 - 21, 'x'), lines[2].text);
    EXPECT_LE(lines[3].text.size(), 2046u);
    capture.clear();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) CLogger::log(LogMessage::MESSAGE, "", "void w()", "line %d", i);
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(800u, capture.count("[VavavozaRozoruv] w: line "));
}

}  // namespace
