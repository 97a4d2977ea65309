#include "ui/progress_info.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "log/logger.h"

namespace NPluginUI {

namespace {
// One less than the buffer, as the text has always been limited.
constexpr size_t kTextLimit = 31;
}  // namespace

CProgressInfo::CProgressInfo() : mPosition(0.0), mSize(0.0), mCustomText(nullptr), mUseDefaultText(true) {
    mDefaultText[0] = '\0';
}

CProgressInfo::~CProgressInfo() { delete[] mCustomText; }

double CProgressInfo::getPosition() const { return mPosition; }

double CProgressInfo::getSize() const { return mSize; }

const char* CProgressInfo::toString() const {
    if (!mUseDefaultText) return mCustomText;
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

void CProgressInfo::useDefaultText() { mUseDefaultText = true; }

void CProgressInfo::useCustomText(const char* text) {
    if (text == nullptr) return;
    size_t length = std::strlen(text);
    // Copied before the old text goes: text may be the stored one.
    char* copy = new (std::nothrow) char[length + 1];
    if (copy == nullptr) {
        QV_LOG(LogMessage::ERROR, "Error: can't store progress text of %zu characters", length);
        return;
    }
    std::memcpy(copy, text, length + 1);
    delete[] mCustomText;
    mCustomText = copy;
    mUseDefaultText = false;
}

}  // namespace NPluginUI
