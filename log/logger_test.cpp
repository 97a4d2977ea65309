#include "log/logger.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/log_capture.h"

namespace {

TEST(Logger, ReducesSignaturesToQualifiedNames) {
    struct Row {
        const char* signature;
        const char* name;
    } rows[] = {
        {"virtual NPError _CQVPluginBase::SetWindow(NPWindow*)", "_CQVPluginBase::SetWindow"},
        {"NPError fillPluginFunctionTable(NPPluginFuncs*)", "fillPluginFunctionTable"},
        {"_CQVPluginBase::_CQVPluginBase()", "_CQVPluginBase::_CQVPluginBase"},
        {"static void CConverterOffice::listen", "CConverterOffice::listen"},
        {"no parens here word", "word"},
        // Only the last blank before the first parenthesis counts.
        {"std::map<int, int> A::f(std::pair<int, int>)", "A::f"},
        {"", ""},
        {"(anonymous)::x()", "(anonymous)::x()"},
        {"void f (int)", "void f (int)"},
        // A blank in the first position is not looked at.
        {" f(int)", " f"},
    };
    for (const Row& row : rows) {
        char out[512];
        CLogger::reduceFunctionName(row.signature, out, sizeof(out));
        EXPECT_STREQ(row.name, out) << row.signature;
    }
}

TEST(Logger, LinesCarryPrefixNameAndMessageAtTheirLevel) {
    LogCapture capture;
    CLogger::log(LogMessage::MESSAGE, "", "void A::m(int)", "value=%d", 7);
    CLogger::log(LogMessage::WARNING, "", "void A::w()", "%s", "careful");
    CLogger::log(LogMessage::ERROR, "", "void A::e()", "Error: %s", "bad");
    CLogger::log(static_cast<LogMessage::type>(3), "", "void A::x()", "dropped");
    CLogger::log(LogMessage::MESSAGE, "", "", "%s", "");
    CLogger::log(LogMessage::ERROR, "", "void f()", "%s", std::string(5000, 'x').c_str());
    CLogger::log(LogMessage::ERROR, "", std::string(3000, 'n').c_str(), "tail");
    auto lines = capture.lines();
    ASSERT_EQ(6u, lines.size());
    EXPECT_EQ(0, lines[0].level);
    EXPECT_EQ("[VavavozaRozoruv] A::m: value=7", lines[0].text);
    EXPECT_EQ(1, lines[1].level);
    EXPECT_EQ("[VavavozaRozoruv] A::w: careful", lines[1].text);
    EXPECT_EQ(2, lines[2].level);
    EXPECT_EQ("[VavavozaRozoruv] A::e: Error: bad", lines[2].text);
    EXPECT_EQ("[VavavozaRozoruv] : ", lines[3].text);
    EXPECT_EQ(2046u, lines[4].text.size());
    EXPECT_EQ(0u, lines[4].text.find("[VavavozaRozoruv] f: xxx"));
    EXPECT_LE(lines[5].text.size(), 2046u);
}

TEST(Logger, EntryMacroLogsThePrefixAlone) {
    LogCapture capture;
    QV_LOG_ENTRY();
    ASSERT_EQ(1u, capture.lines().size());
    EXPECT_EQ("[VavavozaRozoruv] {anonymous}::Logger_EntryMacroLogsThePrefixAlone_Test::TestBody: ",
              capture.lines()[0].text);
}

TEST(Logger, WithoutASinkNothingIsDelivered) {
    { LogCapture gone; }
    CLogger::log(LogMessage::MESSAGE, "", "void f()", "nobody listens");  // must not crash
    LogCapture capture;
    EXPECT_TRUE(capture.lines().empty());
}

TEST(Logger, LinesFromManyThreadsArriveWhole) {
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) CLogger::log(LogMessage::MESSAGE, "", "void w()", "t%d-%d", t, i);
        });
    }
    for (auto& thread : threads) thread.join();
    auto lines = capture.lines();
    ASSERT_EQ(800u, lines.size());
    for (const auto& line : lines) EXPECT_EQ(0u, line.text.find("[VavavozaRozoruv] w: t"));
}

}  // namespace
