#include "converter_program/html_sanitizer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

// Each row: the suite's HTML, the page the browser gets and how many items
// were counted as removed (layout changes for small screens are not).
TEST(HtmlSanitizer, ActiveContentGoesAndEverythingElseStays) {
    const struct {
        const char* name;
        const char* html;
        const char* expected;
        unsigned removed;
    } kRows[] = {
        {"ordinary export, byte for byte",
         "<!DOCTYPE html>\n<html><head><meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"/>"
         "<meta name=\"Viewport\" content=\"width=device-width\">"
         "<style type=\"text/css\">p { margin: 0 } a:after { content: \"<script>\" }</style>"
         "<title>a < b</title></head><body lang=\"en\"><!-- <script>x</script> -->"
         "<p align=center style=\"position: relative; top: 2px\">1 < 2 &amp; <a href=\"https://example.org/?a=1&b=2\">"
         "<font color=\"#000080\">link</font></a><br/></p><img src=img0.png alt='x > y' /></body></html>",
         nullptr, 0},
        {"script body", "<p>a</p><SCRIPT type=\"text/javascript\">if (a < b) { x = '</p>'; }</ScRiPt ><p>b</p>",
         "<p>a</p><p>b</p>", 1},
        {"self-closing script", "a<script src=\"x.js\"/>b", "ab", 1},
        {"prefixed script", "a<svg><svg:script>alert(1)</svg:script></svg>", "a<svg></svg>", 1},
        {"</scripts> ends no script", "x<script>a</scripts>b</script>", "x", 1},
        {"unterminated script takes the rest", "<p>a</p><script>alert(1)<p>never shown</p>", "<p>a</p>", 1},
        {"event handlers", "<body onload=\"alert(1)\" lang=en ONclick='a()' class=x>", "<body lang=en class=x>", 2},
        {"unquoted handler takes the slash", "<img src=a.png onerror=alert(1)/>", "<img src=a.png>", 1},
        {"srcdoc", "<div srcdoc=\"&lt;script&gt;\">", "<div>", 1},
        {"end tag attributes (which browsers ignore)", "<p>a</p onclick=\"x\">", "<p>a</p>", 0},
        {"quoted > ends no tag", "<a title=\"a > b\" onmouseover=\"x>1\">x</a>", "<a title=\"a > b\">x</a>", 1},
        {"harmless links", "<a href=\"java.html\">x</a><img src=\"data:image/png;base64,AAAA\">", nullptr, 0},
        {"plug-in tags, content kept", "<object data=\"x.swf\"><p>fallback</p></object>", "<p>fallback</p>", 2},
        {"frames", "<embed src=x><iframe src=\"a.html\"></iframe>", "", 3},
        {"refresh", "<head><meta name=viewport><meta http-equiv=\"Refresh\" content=\"0; url=http://x\"></head>",
         "<head><meta name=viewport></head>", 1},
        {"raw text", "<textarea><script>alert(1)</script></textarea><title><b onclick=x></title>", nullptr, 0},
        {"tag cut short at the end", "<p>a</p><img src=\"x", "<p>a</p>", 1},
        {"lone <", "a < b a <", nullptr, 0},
        {"cell values and formats", "<td align=right sdval=\"12\" SDNUM=\"1033;0;BOOLEAN\">TRUE</td>",
         "<td align=right>TRUE</td>", 0},
        {"black font with its own end tag", "<td><font color=\"#000000\">a<font color=\"red\">b</font>c</font></td>",
         "<td>a<font color=\"red\">b</font>c</td>", 0},
        {"font with more than a colour", "<font color=black face=\"Sans\">a</font>a</font>", nullptr, 0},
        {"absolute frame joins the flow",
         "<span class=\"sd-abs-pos\" style='position: absolute; top: 0.98in; left: 0.98in; width: 454px'>x</span>",
         "<span class=\"sd-abs-pos\" style=\"width: 454px\">x</span>", 0},
        {"fixed element joins the flow", "<div style=\"Position:FIXED;z-index:3;color:red\">x</div>",
         "<div style=\"color:red\">x</div>", 0},
    };
    for (const auto& row : kRows) {
        unsigned removed = 99;
        EXPECT_EQ(row.expected != nullptr ? row.expected : row.html, NHtmlSanitizer::sanitize(row.html, removed))
            << row.name;
        EXPECT_EQ(row.removed, removed) << row.name;
    }
    for (const char* value : {"javascript:alert(1)", "JavaScript:alert(1)", " \tjava\nscript:alert(1)",
                              "&#106;avascript:alert(1)", "&#x6A;avascript&#58;alert(1)", "javascript&colon;x",
                              "&#0000106avascript:x", "vbscript:msgbox", "data:text/html;base64,PHNjcmlwdD4="}) {
        unsigned removed = 0;
        const std::string html = std::string("<a href=\"") + value + "\" title=t>x</a>";
        EXPECT_EQ("<a title=t>x</a>", NHtmlSanitizer::sanitize(html, removed)) << value;
    }
}

TEST(HtmlSanitizer, TreeCleansMarkupFilesOnlyAndNamesWhatFails) {
    test_support::TempDir dir("rrz_sanitize");
    ASSERT_EQ(0, ::mkdir((dir / "sub").c_str(), 0700));
    const char* const kFiles[][3] = {  // name, before, after
        {"index.html", "<p onclick=a>x</p><script>s</script>", "<p>x</p>"},
        {"sub/page.HTM", "<a href=\"javascript:x\">y</a>", "<a>y</a>"},
        {"img.svg", "<svg onload=\"x\"/>", "<svg />"},
        {"notes.txt", "<script>kept</script>", "<script>kept</script>"},
    };
    for (const auto& file : kFiles) ASSERT_TRUE(test_support::writeFile(dir / file[0], file[1]));
    ASSERT_EQ(0, ::symlink("/nonexistent/target", (dir / "dangling.html").c_str()));  // skipped, not followed
    unsigned removed = 0;
    std::string failed;
    ASSERT_TRUE(NHtmlSanitizer::sanitizeTree(dir.path(), removed, failed)) << failed;
    EXPECT_EQ(4u, removed);
    for (const auto& file : kFiles) EXPECT_EQ(file[2], test_support::readFile(dir / file[0])) << file[0];
    using std::filesystem::recursive_directory_iterator;
    EXPECT_EQ(6, std::distance(recursive_directory_iterator(dir.path()), recursive_directory_iterator()));
    EXPECT_FALSE(NHtmlSanitizer::sanitizeFile(dir / "missing.html", removed));
    EXPECT_FALSE(NHtmlSanitizer::sanitizeTree(dir / "missing", removed, failed));
    EXPECT_EQ(dir / "missing", failed);
}

}  // namespace
