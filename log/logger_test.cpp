#include "log/logger.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "plugin_base/browser_funcs.h"
#include "tests/support/log_capture.h"

namespace {

std::string reduced(const char* signature) {
    char out[512];
    CLogger::reduceFunctionName(signature, out, sizeof(out));
    return out;
}

TEST(LoggerName, ReducesSignaturesToQualifiedNames) {
    EXPECT_EQ("_CQVPluginBase::SetWindow", reduced("virtual NPError _CQVPluginBase::SetWindow(NPWindow*)"));
    EXPECT_EQ("fillPluginFunctionTable", reduced("NPError fillPluginFunctionTable(NPPluginFuncs*)"));
    EXPECT_EQ("_CQVPluginBase::_CQVPluginBase", reduced("_CQVPluginBase::_CQVPluginBase()"));
    EXPECT_EQ("CConverterOffice::listen", reduced("static void CConverterOffice::listen"));
    EXPECT_EQ("word", reduced("no parens here word"));
    // Only the last blank before the first parenthesis counts.
    EXPECT_EQ("A::f", reduced("std::map<int, int> A::f(std::pair<int, int>)"));
}

TEST(LoggerName, EdgeCasesKeepTheWholeSignature) {
    EXPECT_EQ("", reduced(""));
    EXPECT_EQ("(anonymous)::x()", reduced("(anonymous)::x()"));
    EXPECT_EQ("void f (int)", reduced("void f (int)"));
    // A blank in the first position is not looked at.
    EXPECT_EQ(" f", reduced(" f(int)"));
}

TEST(LoggerLine, CarriesPrefixNameAndMessageAtEachLevel) {
    LogCapture capture;
    CLogger::log(LogMessage::MESSAGE, "", "void A::m(int)", "value=%d", 7);
    CLogger::log(LogMessage::WARNING, "", "void A::w()", "%s", "careful");
    CLogger::log(LogMessage::ERROR, "", "void A::e()", "Error: %s", "bad");
    CLogger::log(static_cast<LogMessage::type>(3), "", "void A::x()", "dropped");
    auto lines = capture.lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(0, lines[0].level);
    EXPECT_EQ("[VavavozaRozoruv] A::m: value=7", lines[0].text);
    EXPECT_EQ(1, lines[1].level);
    EXPECT_EQ("[VavavozaRozoruv] A::w: careful", lines[1].text);
    EXPECT_EQ(2, lines[2].level);
    EXPECT_EQ("[VavavozaRozoruv] A::e: Error: bad", lines[2].text);
}

TEST(LoggerLine, EmptySignatureAndEmptyFormat) {
    LogCapture capture;
    CLogger::log(LogMessage::MESSAGE, "", "", "%s", "");
    ASSERT_EQ(1u, capture.lines().size());
    EXPECT_EQ("[VavavozaRozoruv] : ", capture.lines()[0].text);
}

TEST(LoggerLine, EntryMacroLogsThePrefixAlone) {
    LogCapture capture;
    QV_LOG_ENTRY();
    ASSERT_EQ(1u, capture.lines().size());
    const std::string line = capture.lines()[0].text;
    EXPECT_EQ(0u, line.find("[VavavozaRozoruv] "));
    EXPECT_NE(std::string::npos, line.find("LoggerLine_EntryMacroLogsThePrefixAlone_Test::TestBody: "));
    EXPECT_EQ(':', line[line.size() - 2]);
}

TEST(LoggerLine, LongLinesAreCutTo2046Characters) {
    LogCapture capture;
    std::string longText(5000, 'x');
    CLogger::log(LogMessage::ERROR, "", "void f()", "%s", longText.c_str());
    ASSERT_EQ(1u, capture.lines().size());
    const std::string line = capture.lines()[0].text;
    EXPECT_EQ(2046u, line.size());
    EXPECT_EQ(0u, line.find("[VavavozaRozoruv] f: xxx"));

    capture.clear();
    std::string hugeName(3000, 'n');
    CLogger::log(LogMessage::ERROR, "", hugeName.c_str(), "tail");
    ASSERT_EQ(1u, capture.lines().size());
    EXPECT_LE(capture.lines()[0].text.size(), 2046u);
}

TEST(LoggerLine, WithoutPrivateServicesNothingIsDelivered) {
    ASSERT_EQ(nullptr, NPNPrivateFuncs.logmessage_private);
    CLogger::log(LogMessage::MESSAGE, "", "void f()", "nobody listens");  // must not crash
}

TEST(LoggerThreads, LinesFromManyThreadsArriveWhole) {
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
