#include "ui/progress_info.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace NPluginUI {

namespace {
// One less than the buffer, as the text has always been limited.
constexpr size_t kTextLimit = 31;
}  // namespace

CProgressInfo::CProgressInfo() : mPosition(0.0), mSize(0.0) { mDefaultText[0] = '\0'; }

double CProgressInfo::getPosition() const { return mPosition; }

double CProgressInfo::getSize() const { return mSize; }

const char* CProgressInfo::toString() const {
    double percent = mSize > 0 ? 100.0 * mPosition / mSize : NAN;
    if (std::isnan(percent)) {
        std::snprintf(mDefaultText, kTextLimit, "%s", "...");
        return mDefaultText;
    }
    // Converting a double outside the int range is undefined; such values
    // come only from absurd stream lengths, so show the nearest int.
    int whole;
    if (percent >= static_cast<double>(INT_MAX)) {
        whole = INT_MAX;
    } else if (percent <= static_cast<double>(INT_MIN)) {
        whole = INT_MIN;
    } else {
        whole = static_cast<int>(percent);
    }
    std::snprintf(mDefaultText, kTextLimit, "%d%%", whole);
    return mDefaultText;
}

void CProgressInfo::incPosition(double delta) { mPosition += delta; }

void CProgressInfo::setPosition(double position) { mPosition = position; }

void CProgressInfo::setSize(double size) { mSize = size; }

}  // namespace NPluginUI
