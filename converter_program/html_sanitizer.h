// Removes active content from the HTML that the office suite wrote, so that
// nothing from a document can run in the browser that shows it:
//   - <script> elements with everything up to their end tag;
//   - the tags (not the content) of object, embed, applet, iframe, frame and
//     frameset, which load or run foreign content;
//   - <meta http-equiv="refresh">, which can navigate anywhere;
//   - event handler attributes (on...) and srcdoc;
//   - attributes whose value, with character references decoded and blanks
//     and control characters dropped, starts with javascript:, vbscript:,
//     livescript: or data:text/html (any letter case).
// It also makes the layout changes of page_layout.h (not counted as
// removed). Everything else is copied byte for byte, including comments,
// the text of style, title, textarea and xmp elements and attributes that
// are kept.
// The input is taken as bytes (any ASCII-compatible encoding); a tag cut
// short by the end of the text is dropped.
#pragma once

#include <string>

namespace NHtmlSanitizer {

// The cleaned text; removed counts the elements, tags and attributes taken
// out (0 when the result equals the input).
std::string sanitize(const std::string& html, unsigned& removed);

// Cleans one file in place (through a temporary file and rename, only when
// something changed). False with errno set when it cannot be read or
// written.
bool sanitizeFile(const std::string& path, unsigned& removed);

// Cleans every .html, .htm, .xhtml and .svg regular file below dir (any
// letter case; symbolic links are not followed) and adds what it removed to
// removed. Stops at the first failure and names the file in failedPath.
bool sanitizeTree(const std::string& dir, unsigned& removed, std::string& failedPath);

}  // namespace NHtmlSanitizer
