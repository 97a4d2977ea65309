#include "ui/widget.h"

namespace NPluginUI {

CWidget::CWidget() : mWidth(0), mHeight(0) {}

CWidget::CWidget(int width, int height) : mWidth(width), mHeight(height) {}

CWidget::~CWidget() = default;

int CWidget::getWidth() const { return mWidth; }

int CWidget::getHeight() const { return mHeight; }

bool CWidget::setSize(int width, int height) {
    mWidth = width;
    mHeight = height;
    return true;
}

bool CWidget::onMouse(int /*x*/, int /*y*/, NPluginMouse::eMouseEventType /*type*/, unsigned short /*button*/,
                      unsigned short /*flags*/, bool& handled) {
    handled = false;
    return false;
}

}  // namespace NPluginUI
