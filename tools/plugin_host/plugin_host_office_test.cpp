// plugin-host with the real converter on our sample documents: each of the
// six formats ends in a navigation to a converted page that carries the
// sample's text; a corrupt file is "Bad content"; the same file again is
// served from the cache. Skips where the office suite is not installed.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tools/plugin_host/plugin_host_test_support.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <string>

#include "tests/support/files.h"

namespace {

using test_support::exists;
using test_support::readFile;

class PluginHostOffice : public PluginHostTest {
protected:
    void SetUp() override {
        if (!exists("/usr/lib/libreoffice/program/soffice.bin") || !exists(std::string(RRZ_SAMPLES_DIR) + "/stamp")) {
            GTEST_SKIP() << "office suite or sample documents not available";
        }
        prepare(RRZ_CONVERTER_DIR, 120);
    }

    // The converted page's path from the "navigate:" line, or "".
    static std::string pageOf(const std::string& output) {
        size_t at = output.find("navigate: file://");
        if (at == std::string::npos) return "";
        at += 17;
        return output.substr(at, output.find('?', at) - at);
    }

};

TEST_F(PluginHostOffice, EverySampleIsConvertedAndShown) {
    struct Sample {
        const char* file;
        const char* text;
        const char* page;  // where the text is
    } samples[] = {
        {"sample.doc", "RRZ-DOC-1", "index.html"},   {"sample.docx", "RRZ-DOCX-1", "index.html"},
        {"sample.xls", "RRZ-XLS-1", "index.html"},   {"sample.xlsx", "RRZ-XLSX-1", "sheet2.html"},
        {"sample.ppt", "RRZ-PPT-1", "index.html"},   {"sample.pptx", "RRZ-PPTX-1", "index.html"},
    };
    for (const Sample& sample : samples) {
        HostRun result = run(std::string("-q '") + RRZ_SAMPLES_DIR + "/" + sample.file + "'");
        ASSERT_EQ(0, result.status) << sample.file << "\n" << result.output;
        std::string page = pageOf(result.output);
        ASSERT_FALSE(page.empty()) << result.output;
        EXPECT_EQ("index.html", page.substr(page.rfind('/') + 1));
        std::string textPage = page.substr(0, page.rfind('/') + 1) + sample.page;
        EXPECT_NE(std::string::npos, readFile(textPage).find(sample.text)) << textPage;
        std::printf("%s: converted and opened in %.2f s\n", sample.file, result.seconds);
    }
}

TEST_F(PluginHostOffice, CorruptFileIsBadContent) {
    HostRun result = run(std::string("'") + RRZ_SAMPLES_DIR + "/bad.docx'");
    EXPECT_EQ(1, result.status) << result.output;
    EXPECT_NE(std::string::npos, result.output.find("message: Bad content (kind 1)"));
}

TEST_F(PluginHostOffice, SecondRunComesFromTheCache) {
    std::string sample = std::string("'") + RRZ_SAMPLES_DIR + "/sample.docx'";
    HostRun first = run("-v " + sample);
    ASSERT_EQ(0, first.status) << first.output;
    EXPECT_NE(std::string::npos, first.output.find("starting DerazoZoraveMain"));
    HostRun second = run("-v " + sample);
    ASSERT_EQ(0, second.status) << second.output;
    EXPECT_NE(std::string::npos, second.output.find("document from cache"));
    EXPECT_EQ(std::string::npos, second.output.find("starting DerazoZoraveMain"));
    EXPECT_EQ(pageOf(first.output), pageOf(second.output));
    std::printf("sample.docx: %.2f s converting, %.2f s from the cache\n", first.seconds, second.seconds);
}

}  // namespace
