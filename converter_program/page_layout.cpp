#include "converter_program/page_layout.h"

#include <vector>

namespace NPageLayout {

namespace {

std::string trimmedLower(const std::string& text) {
    std::string::size_type begin = text.find_first_not_of(" \t\r\n\f");
    if (begin == std::string::npos) {
        return std::string();
    }
    std::string::size_type end = text.find_last_not_of(" \t\r\n\f");
    std::string result = text.substr(begin, end - begin + 1);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

struct tDeclaration {
    std::string property;  // trimmed, lowered
    std::string text;      // as written
};

std::vector<tDeclaration> declarations(const std::string& style) {
    std::vector<tDeclaration> result;
    std::string::size_type at = 0;
    while (at <= style.size()) {
        std::string::size_type end = style.find(';', at);
        std::string text = style.substr(at, end == std::string::npos ? std::string::npos : end - at);
        std::string::size_type colon = text.find(':');
        result.push_back({trimmedLower(text.substr(0, colon)), text});
        if (end == std::string::npos) {
            break;
        }
        at = end + 1;
    }
    return result;
}

std::string valueOf(const tDeclaration& declaration) {
    std::string::size_type colon = declaration.text.find(':');
    return colon == std::string::npos ? std::string() : trimmedLower(declaration.text.substr(colon + 1));
}

bool isPlacement(const std::string& property) {
    static const char* const kPlacement[] = {"position", "top", "left", "right", "bottom", "z-index"};
    for (const char* name : kPlacement) {
        if (property == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

const char* const sHeadAddition =
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<style type=\"text/css\">img{max-width:100%;height:auto}span,div{max-width:100%}</style>\n";

bool isNonVisualAttribute(const std::string& name) { return name == "sdval" || name == "sdnum"; }

bool isDefaultTextColor(const std::string& value) {
    std::string color = trimmedLower(value);
    return color == "#000000" || color == "#000" || color == "black";
}

std::string styleInFlow(const std::string& style) {
    std::vector<tDeclaration> all = declarations(style);
    bool positioned = false;
    for (const tDeclaration& declaration : all) {
        if (declaration.property == "position") {
            std::string value = valueOf(declaration);
            // "absolute !important" counts too
            positioned = value.compare(0, 8, "absolute") == 0 || value.compare(0, 5, "fixed") == 0;
        }
    }
    if (!positioned) {
        return style;
    }
    std::string result;
    for (const tDeclaration& declaration : all) {
        if (isPlacement(declaration.property) || declaration.property.empty()) {
            continue;
        }
        std::string::size_type begin = declaration.text.find_first_not_of(" \t\r\n\f");
        result += (result.empty() ? "" : "; ") + declaration.text.substr(begin);
    }
    return result;
}

}  // namespace NPageLayout
