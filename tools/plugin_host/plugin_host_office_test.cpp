// plugin-host with the real converter on the sample documents: each of the
// six formats ends in a navigation to a converted page that carries the
// sample's text, and a corrupt file is "Bad content". Skips where the
// office suite is not installed.
#include "tools/plugin_host/plugin_host_test_support.h"

#include <string>

#include "tests/support/files.h"

namespace {

using test_support::exists;

class PluginHostOffice : public PluginHostTest {
protected:
    void SetUp() override {
        if (!exists("/usr/lib/libreoffice/program/soffice.bin") || !exists(RRZ_SAMPLES_DIR "/stamp")) {
            GTEST_SKIP() << "office suite or sample documents not available";
        }
        prepare(RRZ_CONVERTER_DIR, 120);
    }
};

TEST_F(PluginHostOffice, EverySampleIsConvertedAndShownAndACorruptOneIsBadContent) {
    const struct {
        const char* file;
        const char* text;  // null: not a document
        const char* page;  // where the text is
    } samples[] = {
        {"sample.doc", "RRZ-DOC-1", "index.html"}, {"sample.docx", "RRZ-DOCX-1", "index.html"},
        {"sample.xls", "RRZ-XLS-1", "index.html"}, {"sample.xlsx", "RRZ-XLSX-1", "sheet2.html"},
        {"sample.ppt", "RRZ-PPT-1", "index.html"}, {"sample.pptx", "RRZ-PPTX-1", "index.html"},
        {"bad.docx", nullptr, nullptr},
    };
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.file);
        HostRun result = run(std::string("'") + RRZ_SAMPLES_DIR + "/" + sample.file + "'");
        if (sample.text == nullptr) {
            EXPECT_EQ(1, result.status) << result.output;
            EXPECT_NE(std::string::npos, result.output.find("message: Bad content (kind 1)")) << result.output;
            continue;
        }
        ASSERT_EQ(0, result.status) << result.output;
        size_t at = result.output.find("navigate: file://");
        size_t end = result.output.find("/index.html?", at);
        ASSERT_TRUE(at != std::string::npos && end != std::string::npos) << result.output;
        std::string page = result.output.substr(at + 17, end - at - 17) + "/" + sample.page;
        EXPECT_NE(std::string::npos, test_support::readFile(page).find(sample.text)) << page;
    }
}

}  // namespace
