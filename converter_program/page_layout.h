// The layout changes the clean-up pass makes so that a page the office
// suite wrote reads on a small screen (about 800 x 480) and carries no
// bytes a browser does not show. Pure functions on text; any thread.
//   - attributes that carry cell values and number formats (sdval, sdnum)
//     are dropped: a browser shows nothing of them;
//   - a font tag that only sets the default black text colour is dropped
//     with its end tag;
//   - absolute or fixed positioning is taken out of style attributes, so
//     frames anchored to the page join the text flow instead of covering it;
//   - a page without a viewport meta tag gets one, with a style sheet that
//     keeps images and frames within the view, before its </head>.
#pragma once

#include <string>

namespace NPageLayout {

// name is lowered.
bool isNonVisualAttribute(const std::string& name);

// True for a colour value that means black ("#000000", "#000", "black";
// any letter case, blanks around allowed).
bool isDefaultTextColor(const std::string& value);

// The declarations of a style attribute without position, top, left, right,
// bottom and z-index when it positions the element absolutely or fixed;
// otherwise the value unchanged.
std::string styleInFlow(const std::string& style);

// Static markup for the head of a page without a viewport meta tag.
extern const char* const sHeadAddition;

}  // namespace NPageLayout
