#include "converter_program/html_sanitizer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

std::string clean(const std::string& html, unsigned* count = nullptr) {
    unsigned removed = 99;
    std::string result = NHtmlSanitizer::sanitize(html, removed);
    if (count != nullptr) {
        *count = removed;
    }
    return result;
}

TEST(HtmlSanitizer, OrdinaryExportIsCopiedByteForByte) {
    const std::string html =
        "<!DOCTYPE html>\n<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"/>"
        "<meta name=\"Viewport\" content=\"width=device-width\">"
        "<style type=\"text/css\">p { margin: 0 } a:after { content: \"<script>\" }</style>"
        "<title>a < b</title></head><body lang=\"en\"><!-- <script>x</script> -->"
        "<p align=center style=\"position: relative; top: 2px\">1 < 2 &amp; <a href=\"https://example.org/?a=1&b=2\">"
        "<font color=\"#000080\">link</font></a><br/></p>"
        "<img src=img0.png alt='x > y' /></body></html>";
    unsigned removed;
    EXPECT_EQ(html, clean(html, &removed));
    EXPECT_EQ(0u, removed);
}

TEST(HtmlSanitizer, ScriptElementsGoWithTheirContent) {
    unsigned removed;
    EXPECT_EQ("<p>a</p><p>b</p>",
              clean("<p>a</p><SCRIPT type=\"text/javascript\">if (a < b) { x = '</p>'; }</ScRiPt ><p>b</p>", &removed));
    EXPECT_EQ(1u, removed);
    EXPECT_EQ("ab", clean("a<script src=\"x.js\"/>b"));
    EXPECT_EQ("a<svg></svg>", clean("a<svg><svg:script>alert(1)</svg:script></svg>"));
    // "</scripts>" does not end a script.
    EXPECT_EQ("x", clean("x<script>a</scripts>b</script>"));
}

TEST(HtmlSanitizer, UnterminatedScriptDropsTheRest) {
    EXPECT_EQ("<p>a</p>", clean("<p>a</p><script>alert(1)<p>never shown</p>"));
}

TEST(HtmlSanitizer, EventHandlersAndSrcdocAreRemovedOtherAttributesKept) {
    unsigned removed;
    EXPECT_EQ("<body lang=\"en\" class=x>",
              clean("<body onload=\"alert(1)\" lang=\"en\" ONclick='a()' class=x>", &removed));
    EXPECT_EQ(2u, removed);
    // An unquoted value takes the "/" with it, as in browsers.
    EXPECT_EQ("<img src=a.png>", clean("<img src=a.png onerror=alert(1)/>"));
    EXPECT_EQ("<div>", clean("<div srcdoc=\"&lt;script&gt;\">"));
}

TEST(HtmlSanitizer, ScriptUrlsAreRemovedHoweverDisguised) {
    for (const char* value : {"javascript:alert(1)", "JavaScript:alert(1)", " \tjava\nscript:alert(1)",
                              "&#106;avascript:alert(1)", "&#x6A;avascript&#58;alert(1)", "javascript&colon;x",
                              "&#0000106avascript:x", "vbscript:msgbox", "data:text/html;base64,PHNjcmlwdD4="}) {
        std::string html = std::string("<a href=\"") + value + "\" title=t>x</a>";
        EXPECT_EQ("<a title=t>x</a>", clean(html)) << value;
    }
    EXPECT_EQ("<a href=\"java.html\">x</a>", clean("<a href=\"java.html\">x</a>"));
    EXPECT_EQ("<img src=\"data:image/png;base64,AAAA\">", clean("<img src=\"data:image/png;base64,AAAA\">"));
}

TEST(HtmlSanitizer, PluginFrameAndRefreshTagsAreDroppedTheirContentKept) {
    EXPECT_EQ("<p>fallback</p>", clean("<object data=\"x.swf\"><p>fallback</p></object>"));
    EXPECT_EQ("", clean("<embed src=x><iframe src=\"a.html\"></iframe>"));
    EXPECT_EQ("<head><meta name=viewport></head>",
              clean("<head><meta name=viewport><meta http-equiv=\"Refresh\" content=\"0; url=http://x\"></head>"));
}

TEST(HtmlSanitizer, TagsInsideRawTextAreNotTags) {
    const std::string html = "<textarea><script>alert(1)</script></textarea><title><b onclick=x></title>";
    EXPECT_EQ(html, clean(html));
}

TEST(HtmlSanitizer, QuotedGreaterThanDoesNotEndTheTag) {
    EXPECT_EQ("<a title=\"a > b\">x</a>", clean("<a title=\"a > b\" onmouseover=\"x>1\">x</a>"));
}

TEST(HtmlSanitizer, TagCutShortAtTheEndIsDropped) {
    unsigned removed;
    EXPECT_EQ("<p>a</p>", clean("<p>a</p><img src=\"x", &removed));
    EXPECT_EQ(1u, removed);
    EXPECT_EQ("a <", clean("a <"));
    EXPECT_EQ("a < b", clean("a < b"));
}

// Layout changes for small screens: not counted as removed content.
TEST(HtmlSanitizer, PagesAreMadeForSmallScreens) {
    const std::string viewport = "<meta name=\"viewport\"";
    const struct {
        const char* name;
        const char* html;
        const char* expected;  // nullptr: checked below for the head addition
    } kCases[] = {
        {"cell values and formats go", "<td align=right sdval=\"12\" SDNUM=\"1033;0;BOOLEAN\">TRUE</td>",
         "<td align=right>TRUE</td>"},
        {"black font goes with its own end tag",
         "<td><font color=\"#000000\">a<font color=\"red\">b</font>c</font></td>",
         "<td>a<font color=\"red\">b</font>c</td>"},
        {"font with more than a colour stays", "<font color=black face=\"Sans\">a</font>",
         "<font color=black face=\"Sans\">a</font>"},
        {"stray font end tag stays", "a</font>", "a</font>"},
        {"absolute frame joins the flow",
         "<span class=\"sd-abs-pos\" style='position: absolute; top: 0.98in; left: 0.98in; width: 454px'>x</span>",
         "<span class=\"sd-abs-pos\" style=\"width: 454px\">x</span>"},
        {"fixed element joins the flow", "<div style=\"Position:FIXED;z-index:3;color:red\">x</div>",
         "<div style=\"color:red\">x</div>"},
        {"page without a viewport gets one", "<html><head><title>t</title></head></html>", nullptr},
    };
    for (const auto& c : kCases) {
        unsigned removed = 99;
        std::string result = clean(c.html, &removed);
        EXPECT_EQ(0u, removed) << c.name;
        if (c.expected != nullptr) {
            EXPECT_EQ(c.expected, result) << c.name;
            continue;
        }
        std::string::size_type meta = result.find(viewport);
        EXPECT_LT(result.find("</title>"), meta) << c.name << ": " << result;
        EXPECT_LT(meta, result.find("</head>")) << c.name << ": " << result;
        EXPECT_NE(std::string::npos, result.find("img{max-width:100%")) << result;
    }
}

TEST(HtmlSanitizer, EndTagAttributesAreDropped) {
    EXPECT_EQ("<p>a</p>", clean("<p>a</p onclick=\"x\">"));
}

class HtmlSanitizerFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(mTemp.path().empty());
        mDir = mTemp.path() + "/";
    }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(mDir + name, std::ios::binary) << text;
    }
    std::string read(const std::string& name) { return test_support::readFile(mDir + name); }
    test_support::TempDir mTemp{"rrz_sanitize"};
    std::string mDir;
};

TEST_F(HtmlSanitizerFiles, TreeCleansMarkupFilesOnlyAndCountsEverything) {
    ASSERT_EQ(0, ::mkdir((mDir + "sub").c_str(), 0700));
    write("index.html", "<p onclick=a>x</p><script>s</script>");
    write("sub/page.HTM", "<a href=\"javascript:x\">y</a>");
    write("img.svg", "<svg onload=\"x\"/>");
    write("notes.txt", "<script>kept</script>");
    unsigned removed = 0;
    std::string failed;
    ASSERT_TRUE(NHtmlSanitizer::sanitizeTree(mDir, removed, failed)) << failed;
    EXPECT_EQ(4u, removed);
    EXPECT_EQ("<p>x</p>", read("index.html"));
    EXPECT_EQ("<a>y</a>", read("sub/page.HTM"));
    EXPECT_EQ("<svg />", read("img.svg"));
    EXPECT_EQ("<script>kept</script>", read("notes.txt"));
    EXPECT_NE(0, ::access((mDir + "index.html.clean").c_str(), F_OK));
}

TEST_F(HtmlSanitizerFiles, UnreadableFileFailsAndIsNamed) {
    ASSERT_EQ(0, ::symlink("/nonexistent/target", (mDir + "dangling.html").c_str()));
    unsigned removed = 0;
    std::string failed;
    // A link is not a regular file: skipped, not followed.
    EXPECT_TRUE(NHtmlSanitizer::sanitizeTree(mDir, removed, failed));
    EXPECT_FALSE(NHtmlSanitizer::sanitizeFile(mDir + "missing.html", removed));
    EXPECT_FALSE(NHtmlSanitizer::sanitizeTree(mDir + "missing", removed, failed));
    EXPECT_EQ(mDir + "missing", failed);
}

}  // namespace
