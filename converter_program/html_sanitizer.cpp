#include "converter_program/html_sanitizer.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "converter_program/page_layout.h"

namespace NHtmlSanitizer {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerCopy(const std::string& text) {
    std::string result(text);
    for (char& c : result) {
        c = lower(c);
    }
    return result;
}

bool startsWithNoCase(const std::string& text, std::size_t at, const char* prefix) {
    std::size_t length = std::strlen(prefix);
    if (text.size() - at < length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (lower(text[at + i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Position just past the end tag "</name" ... ">" from at, case-insensitive,
// or npos when there is none.
std::size_t findEndTag(const std::string& html, std::size_t at, const std::string& name) {
    std::string opener = "</" + name;
    for (std::size_t i = at; i < html.size(); ++i) {
        if (html[i] != '<' || !startsWithNoCase(html, i, opener.c_str())) {
            continue;
        }
        std::size_t after = i + opener.size();
        if (after < html.size() && !isSpace(html[after]) && html[after] != '/' && html[after] != '>') {
            continue;
        }
        std::size_t close = html.find('>', after);
        return close == std::string::npos ? std::string::npos : close + 1;
    }
    return std::string::npos;
}

// The attribute value with character references decoded, blanks and control
// characters dropped and letters lowered: what a browser sees as the scheme.
std::string schemeView(const std::string& value) {
    std::string result;
    for (std::size_t i = 0; i < value.size(); ++i) {
        unsigned code = static_cast<unsigned char>(value[i]);
        if (value[i] == '&') {
            std::size_t j = i + 1;
            if (j < value.size() && value[j] == '#') {
                bool hex = j + 1 < value.size() && lower(value[j + 1]) == 'x';
                std::size_t digits = j + (hex ? 2 : 1);
                char* end = nullptr;
                unsigned long number = std::strtoul(value.c_str() + digits, &end, hex ? 16 : 10);
                std::size_t stop = static_cast<std::size_t>(end - value.c_str());
                if (stop > digits) {
                    code = number > 0x10FFFF ? 0xFFFD : static_cast<unsigned>(number);
                    i = (stop < value.size() && value[stop] == ';') ? stop : stop - 1;
                }
            } else {
                static const struct { const char* name; unsigned code; } kNamed[] = {
                    {"colon;", ':'}, {"tab;", '\t'}, {"newline;", '\n'}, {"sol;", '/'}, {"lpar;", '('}};
                for (const auto& named : kNamed) {
                    if (startsWithNoCase(value, j, named.name)) {
                        code = named.code;
                        i = j + std::strlen(named.name) - 1;
                        break;
                    }
                }
            }
        }
        if (code <= 0x20 || code == 0x7F) {
            continue;
        }
        result += code < 0x80 ? lower(static_cast<char>(code)) : '?';
    }
    return result;
}

bool isActiveUrl(const std::string& value) {
    std::string view = schemeView(value);
    static const char* const kSchemes[] = {"javascript:", "vbscript:", "livescript:", "data:text/html"};
    for (const char* scheme : kSchemes) {
        if (view.compare(0, std::strlen(scheme), scheme) == 0) {
            return true;
        }
    }
    return false;
}

struct tAttribute {
    std::string name;  // lowered
    std::string value;
    std::string source;  // the attribute's own text, copied when it is kept
};

struct tTag {
    std::string name;        // lowered, namespace prefix kept
    std::string sourceName;  // as written
    std::vector<tAttribute> attributes;
    bool selfClosing = false;
    std::size_t end = 0;  // just past ">"
};

// Parses the start tag at html[at] == '<' followed by a letter. False when
// the text ends before its ">".
bool parseStartTag(const std::string& html, std::size_t at, tTag& tag) {
    std::size_t i = at + 1;
    while (i < html.size() && !isSpace(html[i]) && html[i] != '/' && html[i] != '>') {
        ++i;
    }
    tag.sourceName = html.substr(at + 1, i - at - 1);
    tag.name = lowerCopy(tag.sourceName);
    while (i < html.size()) {
        while (i < html.size() && (isSpace(html[i]) || html[i] == '/')) {
            tag.selfClosing = html[i] == '/';
            ++i;
        }
        if (i >= html.size()) {
            return false;
        }
        if (html[i] == '>') {
            tag.end = i + 1;
            return true;
        }
        tag.selfClosing = false;
        tAttribute attribute;
        std::size_t start = i;
        ++i;  // a name may start with "="
        while (i < html.size() && !isSpace(html[i]) && html[i] != '/' && html[i] != '>' && html[i] != '=') {
            ++i;
        }
        attribute.name = lowerCopy(html.substr(start, i - start));
        std::size_t probe = i;
        while (probe < html.size() && isSpace(html[probe])) {
            ++probe;
        }
        if (probe < html.size() && html[probe] == '=') {
            i = probe + 1;
            while (i < html.size() && isSpace(html[i])) {
                ++i;
            }
            if (i >= html.size()) {
                return false;
            }
            if (html[i] == '"' || html[i] == '\'') {
                std::size_t close = html.find(html[i], i + 1);
                if (close == std::string::npos) {
                    return false;
                }
                attribute.value = html.substr(i + 1, close - i - 1);
                i = close + 1;
            } else {
                std::size_t valueStart = i;
                while (i < html.size() && !isSpace(html[i]) && html[i] != '>') {
                    ++i;
                }
                attribute.value = html.substr(valueStart, i - valueStart);
            }
        }
        attribute.source = html.substr(start, i - start);
        tag.attributes.push_back(attribute);
    }
    return false;
}

bool isScript(const std::string& name) {
    return name == "script" || (name.size() > 7 && name.compare(name.size() - 7, 7, ":script") == 0);
}

bool isDroppedTag(const std::string& name) {
    static const char* const kDropped[] = {"object", "embed", "applet", "iframe", "frame", "frameset"};
    for (const char* dropped : kDropped) {
        if (name == dropped) {
            return true;
        }
    }
    return false;
}

bool isRawText(const std::string& name) {
    return name == "style" || name == "title" || name == "textarea" || name == "xmp";
}

bool isRefresh(const tTag& tag) {
    if (tag.name != "meta") {
        return false;
    }
    for (const tAttribute& attribute : tag.attributes) {
        if (attribute.name == "http-equiv" && lowerCopy(schemeView(attribute.value)) == "refresh") {
            return true;
        }
    }
    return false;
}

bool isActiveAttribute(const tAttribute& attribute) {
    return attribute.name.compare(0, 2, "on") == 0 || attribute.name == "srcdoc" ||
           isActiveUrl(attribute.value);
}

bool isViewportMeta(const tTag& tag) {
    if (tag.name != "meta") {
        return false;
    }
    for (const tAttribute& attribute : tag.attributes) {
        if (attribute.name == "name" && lowerCopy(attribute.value) == "viewport") {
            return true;
        }
    }
    return false;
}

// <font color="black">: the default, a tenth of a spreadsheet page's bytes.
bool isRedundantFont(const tTag& tag) {
    if (tag.name != "font" || tag.attributes.empty()) {
        return false;
    }
    for (const tAttribute& attribute : tag.attributes) {
        if (attribute.name != "color" || !NPageLayout::isDefaultTextColor(attribute.value)) {
            return false;
        }
    }
    return true;
}

std::string quotedAttribute(const std::string& name, const std::string& value) {
    std::string result = name + "=\"";
    for (char c : value) {
        result += c == '"' ? std::string("&quot;") : std::string(1, c);
    }
    return result + '"';
}

}  // namespace

std::string sanitize(const std::string& html, unsigned& removed) {
    removed = 0;
    std::string out;
    out.reserve(html.size());
    std::vector<bool> fontDropped;  // open font tags, innermost last
    bool hasViewport = false;
    std::size_t i = 0;
    while (i < html.size()) {
        std::size_t lt = html.find('<', i);
        if (lt == std::string::npos) {
            out.append(html, i, std::string::npos);
            break;
        }
        out.append(html, i, lt - i);
        i = lt;
        if (html.compare(i, 4, "<!--") == 0) {
            // "<!-->" and "<!--->" end at once, as in browsers.
            std::size_t close;
            if (html.compare(i + 4, 1, ">") == 0) {
                close = i + 5;
            } else if (html.compare(i + 4, 2, "->") == 0) {
                close = i + 6;
            } else {
                std::size_t end = html.find("-->", i + 4);
                close = end == std::string::npos ? html.size() : end + 3;
            }
            out.append(html, i, close - i);
            i = close;
            continue;
        }
        if (i + 1 < html.size() && (html[i + 1] == '!' || html[i + 1] == '?')) {
            std::size_t close = html.find('>', i);
            close = close == std::string::npos ? html.size() : close + 1;
            out.append(html, i, close - i);
            i = close;
            continue;
        }
        if (i + 2 < html.size() && html[i + 1] == '/' && isAlpha(html[i + 2])) {
            std::size_t nameEnd = i + 2;
            while (nameEnd < html.size() && !isSpace(html[nameEnd]) && html[nameEnd] != '/' &&
                   html[nameEnd] != '>') {
                ++nameEnd;
            }
            std::size_t close = html.find('>', nameEnd);
            if (close == std::string::npos) {
                ++removed;
                break;
            }
            std::string name = lowerCopy(html.substr(i + 2, nameEnd - i - 2));
            bool droppedFont = false;
            if (name == "font" && !fontDropped.empty()) {
                droppedFont = fontDropped.back();
                fontDropped.pop_back();
            }
            if (name == "head" && !hasViewport) {
                out += NPageLayout::sHeadAddition;
                hasViewport = true;
            }
            if (isDroppedTag(name)) {
                ++removed;
            } else if (!droppedFont) {
                // Attributes of an end tag mean nothing to a browser.
                out.append(html, i, nameEnd - i);
                out += '>';
            }
            i = close + 1;
            continue;
        }
        if (i + 1 >= html.size() || !isAlpha(html[i + 1])) {
            out += '<';
            ++i;
            continue;
        }
        tTag tag;
        if (!parseStartTag(html, i, tag)) {
            ++removed;
            break;
        }
        if (isScript(tag.name)) {
            ++removed;
            std::size_t end = tag.selfClosing ? tag.end : findEndTag(html, tag.end, tag.name);
            i = end == std::string::npos ? html.size() : end;
            continue;
        }
        if (isDroppedTag(tag.name) || isRefresh(tag)) {
            ++removed;
            i = tag.end;
            continue;
        }
        hasViewport = hasViewport || isViewportMeta(tag);
        if (tag.name == "font" && !tag.selfClosing) {
            fontDropped.push_back(isRedundantFont(tag));
            if (fontDropped.back()) {
                i = tag.end;
                continue;
            }
        }
        std::string rebuilt = "<" + tag.sourceName;
        bool changed = false;
        for (const tAttribute& attribute : tag.attributes) {
            std::string flowing;
            if (isActiveAttribute(attribute)) {
                ++removed;
                changed = true;
            } else if (NPageLayout::isNonVisualAttribute(attribute.name)) {
                changed = true;
            } else if (attribute.name == "style" &&
                       (flowing = NPageLayout::styleInFlow(attribute.value)) != attribute.value) {
                rebuilt += ' ' + quotedAttribute("style", flowing);
                changed = true;
            } else {
                rebuilt += ' ';
                rebuilt += attribute.source;
            }
        }
        // The blank keeps "/" out of an unquoted value before it.
        rebuilt += tag.selfClosing ? " />" : ">";
        out += changed ? rebuilt : html.substr(i, tag.end - i);
        i = tag.end;
        if (isRawText(tag.name) && !tag.selfClosing) {
            std::size_t end = findEndTag(html, i, tag.name);
            std::size_t contentEnd = end == std::string::npos ? html.size() : html.rfind('<', end - 1);
            out.append(html, i, contentEnd - i);
            i = contentEnd;
            if (end != std::string::npos) {
                out += "</";
                out += tag.sourceName;
                out += '>';
                i = end;
            }
        }
    }
    return out;
}

}  // namespace NHtmlSanitizer
