#include "plugin_base/plugin_rect.h"

namespace {
Int16 cut16(int value) { return static_cast<Int16>(static_cast<UInt16>(value)); }
}  // namespace

CPluginRect::CPluginRect() : top(0), left(0), bottom(0), right(0), mNPRect{0, 0, 0, 0} {}

CPluginRect::CPluginRect(Int16 x, Int16 y, UInt16 width, UInt16 height)
    : top(y), left(x), bottom(cut16(y + height)), right(cut16(x + width)), mNPRect{0, 0, 0, 0} {}

CPluginRect::CPluginRect(const papi_rect_t& rect)
    : CPluginRect(rect.x, rect.y, static_cast<UInt16>(rect.width), static_cast<UInt16>(rect.height)) {}

CPluginRect::CPluginRect(const NPRect& rect)
    : top(static_cast<Int16>(rect.top)),
      left(static_cast<Int16>(rect.left)),
      bottom(static_cast<Int16>(rect.bottom)),
      right(static_cast<Int16>(rect.right)),
      mNPRect{0, 0, 0, 0} {}

CPluginRect::CPluginRect(const CPluginRect& other)
    : top(other.top), left(other.left), bottom(other.bottom), right(other.right), mNPRect{0, 0, 0, 0} {}

CPluginRect& CPluginRect::operator=(const CPluginRect& other) {
    if (this != &other) {
        top = other.top;
        left = other.left;
        bottom = other.bottom;
        right = other.right;
    }
    return *this;
}

bool CPluginRect::operator==(CPluginRect& other) {
    return top == other.top && left == other.left && bottom == other.bottom && right == other.right;
}

bool CPluginRect::operator!=(CPluginRect& other) { return !(*this == other); }

CPluginRect::operator const NPRect&() { return getNPRect(); }

const NPRect& CPluginRect::getNPRect() {
    mNPRect.top = static_cast<uint16_t>(top);
    mNPRect.left = static_cast<uint16_t>(left);
    mNPRect.bottom = static_cast<uint16_t>(bottom);
    mNPRect.right = static_cast<uint16_t>(right);
    return mNPRect;
}

Int16 CPluginRect::getX() { return left; }
Int16 CPluginRect::getY() { return top; }
UInt16 CPluginRect::getWidth() { return static_cast<UInt16>(right - left); }
UInt16 CPluginRect::getHeight() { return static_cast<UInt16>(bottom - top); }
Int16 CPluginRect::getTop() { return top; }
Int16 CPluginRect::getLeft() { return left; }
Int16 CPluginRect::getBottom() { return bottom; }
Int16 CPluginRect::getRight() { return right; }
