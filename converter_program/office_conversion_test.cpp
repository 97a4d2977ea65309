// Conversions of our sample documents by the real DerazoZoraveMain with the
// office suite. Skipped when the suite or the samples are missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "converter_program/converter_test_support.h"

namespace {

using namespace NConverterTest;

#define REQUIRE_SUITE_AND(name)                                                \
    if (!officeSuiteInstalled() || sample(name).empty()) {                     \
        GTEST_SKIP() << "office suite or sample documents not installed";     \
    }

struct tSample {
    const char* file;
    const char* knownText;
    bool slides;  // a presentation
    bool images;  // the entry page shows at least one image
};

// The src values of the page's <img> tags.
std::vector<std::string> imageSources(const std::string& page) {
    std::vector<std::string> sources;
    const std::string marker = "<img src=\"";
    for (std::string::size_type at = page.find(marker); at != std::string::npos; at = page.find(marker, at + 1)) {
        std::string::size_type begin = at + marker.size();
        sources.push_back(page.substr(begin, page.find('"', begin) - begin));
    }
    return sources;
}

void PrintTo(const tSample& s, std::ostream* out) { *out << s.file; }

class SampleConversion : public ::testing::TestWithParam<tSample> {};

TEST_P(SampleConversion, EntryPageCarriesTheKnownText) {
    const tSample& s = GetParam();
    REQUIRE_SUITE_AND(s.file);
    CTempDir dir;
    const std::string out = dir.path() + "doc_files/";
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(sample(s.file), out + "index.html"));
    ASSERT_TRUE(converter.finish()) << converter.transcript();
    std::printf("[ time     ] %s converted in %.2f s\n", s.file, converter.seconds());
    RecordProperty("seconds", std::to_string(converter.seconds()));

    EXPECT_EQ(0, converter.exitStatus()) << converter.transcript();
    EXPECT_FALSE(converter.hasMessage(2, "")) << converter.transcript();
    ASSERT_FALSE(converter.messages().empty());
    EXPECT_NE(std::string::npos, converter.messages().back().text.find("Converted in "));
    EXPECT_TRUE(converter.hasMessage(0, s.slides ? "presentation" : "")) << converter.transcript();

    std::string page = readFile(out + "index.html");
    ASSERT_FALSE(page.empty());
    std::vector<std::string> images = imageSources(page);
    EXPECT_EQ(s.images, !images.empty()) << page;
    for (const std::string& image : images) {
        EXPECT_TRUE(exists(out + image)) << image;
    }
    EXPECT_NE(std::string::npos, page.find(s.knownText)) << page;
    EXPECT_NE(std::string::npos, page.find("<meta name=\"viewport\"")) << page;
    EXPECT_TRUE(workDirsIn(out).empty());
    EXPECT_TRUE(suiteProcessesMentioning(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SampleConversion,
    ::testing::Values(tSample{"sample.doc", "Sample Word 97 document RRZ-DOC-1", false, true},
                      tSample{"sample.docx", "Sample Word 2007 document RRZ-DOCX-1", false, true},
                      tSample{"sample.xls", "Sample Excel 97 workbook RRZ-XLS-1", false, false},
                      tSample{"sample.xlsx", "Sample Excel 2007 workbook RRZ-XLSX-1", false, false},
                      tSample{"sample.ppt", "Sample PowerPoint 97 presentation RRZ-PPT-1", true, true},
                      tSample{"sample.pptx", "Sample PowerPoint 2007 presentation RRZ-PPTX-1", true, true}),
    [](const ::testing::TestParamInfo<tSample>& info) {
        std::string name = info.param.file;
        return name.substr(name.find('.') + 1);
    });

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// The shape of the pages made for reading on a small screen: each row
// converts one sample and counts what must (and must not) be on a page.
TEST(OfficeConversion, PagesAreMadeForReading) {
    const struct {
        const char* sample;
        const char* outputLimit;  // MiB, or nullptr for the default
        const char* page;
        const char* part;
        std::size_t count;
    } kRows[] = {
        {"sample.pptx", nullptr, "index.html", "<section class=\"rrz-slide\" id=\"slide", 4},
        {"sample.pptx", nullptr, "index.html", "4 slides", 1},
        {"sample.pptx", nullptr, "index.html", "alt=\"Slide 3: Third slide", 1},
        {"sample.pptx", nullptr, "index.html", "<p>Shape words on the closing slide</p>", 1},
        {"sample.ppt", nullptr, "index.html", "<img src=\"slide4.png\"", 1},
        {"sample.xlsx", nullptr, "index.html", "<nav class=\"rrz-sheets\"><a href=\"index.html\" class=\"rrz-current\"", 1},
        {"sample.xlsx", nullptr, "sheet2.html", "<a href=\"sheet2.html\" class=\"rrz-current\"", 1},
        {"sample.xlsx", nullptr, "sheet3.html", ">Flags</a></nav>", 1},
        {"sample.xlsx", nullptr, "index.html", "sdval", 0},
        {"sample.xls", nullptr, "sheet3.html", ">TRUE</td>", 1},
        {"sample.xls", nullptr, "sheet3.html", ">FALSE</td>", 1},
        {"big.xlsx", "0.5", "sheet2.html", "<p class=\"rrz-cut\">", 1},
        {"big.xlsx", "0.5", "sheet2.html", "Left out: rows", 1},
        {"big.xlsx", "0.5", "index.html", "RRZ-BIG-1", 1},
        {"big.xlsx", "0.5", "sheet3.html", "Last sheet of RRZ-BIG-1", 1},
        {"big.xlsx", nullptr, "sheet2.html", "<p class=\"rrz-cut\">", 0},
        {"layout.docx", nullptr, "index.html", "position: absolute", 0},
        {"layout.docx", nullptr, "index.html", "background: #c0c0c0", 0},
        {"layout.doc", nullptr, "index.html", "Drawing words RRZ-DRAWING-1 in the first box / Second box", 1},
        {"layout.doc", nullptr, "index.html", "position: absolute", 0},
    };
    std::string converted;  // sample and limit of the conversion in dir
    CTempDir dir;
    for (const auto& row : kRows) {
        const std::string label = std::string(row.sample) + " " + row.page + " \"" + row.part + "\"";
        if (sample(row.sample).empty() || !officeSuiteInstalled()) {
            GTEST_SKIP() << "office suite or sample documents not installed";
        }
        const std::string key = std::string(row.sample) + (row.outputLimit ? row.outputLimit : "");
        const std::string out = dir.path() + key + "/";
        if (converted != key) {
            converted = key;
            CConverterProcess converter;
            std::vector<std::string> env;
            if (row.outputLimit != nullptr) {
                env.push_back(std::string("OFFICE_PLUGINS_OUTPUT_LIMIT=") + row.outputLimit);
            }
            ASSERT_TRUE(converter.start(sample(row.sample), out + "index.html", env));
            ASSERT_TRUE(converter.finish());
            ASSERT_EQ(0, converter.exitStatus()) << label << converter.transcript();
        }
        EXPECT_EQ(row.count, countOf(readFile(out + row.page), row.part)) << label;
    }
}

TEST(OfficeConversion, BytesThatAreNoDocumentFailWithAnErrorAndNoPage) {
    REQUIRE_SUITE_AND("bad.docx");
    CTempDir dir;
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(sample("bad.docx"), dir.path() + "index.html"));
    ASSERT_TRUE(converter.finish());
    EXPECT_EQ(1, converter.exitStatus());
    EXPECT_TRUE(converter.hasMessage(2, "Error: ")) << converter.transcript();
    EXPECT_FALSE(exists(dir.path() + "index.html"));
    EXPECT_TRUE(workDirsIn(dir.path()).empty());
}

TEST(OfficeConversion, DocumentTheSuiteCannotLoadFailsWithAnErrorAndNoPage) {
    REQUIRE_SUITE_AND("sample.docx");
    CTempDir dir;
    // A ZIP package cut short: past the first look, refused by the suite.
    std::string whole = readFile(sample("sample.docx"));
    std::ofstream(dir.path() + "cut.docx", std::ios::binary) << whole.substr(0, whole.size() / 2);
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(dir.path() + "cut.docx", dir.path() + "out/index.html"));
    ASSERT_TRUE(converter.finish());
    EXPECT_EQ(1, converter.exitStatus());
    EXPECT_TRUE(converter.hasMessage(2, "Error: the document could not be converted")) << converter.transcript();
    EXPECT_FALSE(exists(dir.path() + "out/index.html"));
    EXPECT_TRUE(workDirsIn(dir.path() + "out/").empty());
}

TEST(OfficeConversion, EmptyFileIsRefusedWithoutStartingTheSuite) {
    CTempDir dir;
    std::ofstream(dir.path() + "empty.doc").close();
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(dir.path() + "empty.doc", dir.path() + "out/index.html"));
    ASSERT_TRUE(converter.finish());
    EXPECT_EQ(1, converter.exitStatus());
    EXPECT_TRUE(converter.hasMessage(2, "is empty")) << converter.transcript();
    EXPECT_FALSE(converter.hasMessage(0, "Starting the office suite"));
    EXPECT_FALSE(exists(dir.path() + "out/index.html"));
}

TEST(OfficeConversion, OutputPastTheCapFailsCleanly) {
    REQUIRE_SUITE_AND("sample.pptx");
    CTempDir dir;
    const std::string out = dir.path() + "out/";
    CConverterProcess converter;
    // About 10 KB: the first slide image alone is larger.
    ASSERT_TRUE(converter.start(sample("sample.pptx"), out + "index.html", {"OFFICE_PLUGINS_OUTPUT_LIMIT=0.01"}));
    ASSERT_TRUE(converter.finish());
    EXPECT_EQ(1, converter.exitStatus());
    EXPECT_TRUE(converter.hasMessage(2, "Error: the converted document exceeds 10486 bytes"))
        << converter.transcript();
    EXPECT_FALSE(exists(out + "index.html"));
    EXPECT_TRUE(workDirsIn(out).empty());
    EXPECT_TRUE(suiteProcessesMentioning(dir.path()).empty());
}

TEST(OfficeConversion, ScriptLinksAreStrippedAndOrdinaryLinksKept) {
    REQUIRE_SUITE_AND("active.docx");
    CTempDir dir;
    CConverterProcess converter;
    ASSERT_TRUE(converter.start(sample("active.docx"), dir.path() + "index.html"));
    ASSERT_TRUE(converter.finish());
    ASSERT_EQ(0, converter.exitStatus()) << converter.transcript();
    EXPECT_TRUE(converter.hasMessage(1, "removed 1 active content item")) << converter.transcript();
    std::string page = readFile(dir.path() + "index.html");
    EXPECT_NE(std::string::npos, page.find("RRZ-ACTIVE-1"));
    EXPECT_EQ(std::string::npos, page.find("javascript")) << page;
    EXPECT_EQ(std::string::npos, page.find("RRZ-LINK-RAN")) << page;
    EXPECT_NE(std::string::npos, page.find("href=\"https://example.org/rrz\"")) << page;
}

TEST(OfficeConversion, TwoConversionsSideBySideBothSucceed) {
    REQUIRE_SUITE_AND("sample.xlsx");
    CTempDir dir;
    CConverterProcess first, second;
    ASSERT_TRUE(first.start(sample("sample.xlsx"), dir.path() + "a/index.html"));
    ASSERT_TRUE(second.start(sample("sample.doc"), dir.path() + "b/index.html"));
    ASSERT_TRUE(first.finish());
    ASSERT_TRUE(second.finish());
    EXPECT_EQ(0, first.exitStatus()) << first.transcript();
    EXPECT_EQ(0, second.exitStatus()) << second.transcript();
    EXPECT_NE(std::string::npos, readFile(dir.path() + "a/index.html").find("RRZ-XLSX-1"));
    EXPECT_NE(std::string::npos, readFile(dir.path() + "b/index.html").find("RRZ-DOC-1"));
}

}  // namespace
