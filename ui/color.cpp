#include "ui/color.h"

namespace NPluginUI {

CColor::CColor(double red, double green, double blue) : mRed(red), mGreen(green), mBlue(blue) {}

CColor::CColor(const CColor& other) : mRed(other.mRed), mGreen(other.mGreen), mBlue(other.mBlue) {}

CColor::~CColor() = default;

CColor& CColor::operator=(const CColor& other) {
    if (this != &other) {
        mRed = other.mRed;
        mGreen = other.mGreen;
        mBlue = other.mBlue;
    }
    return *this;
}

double CColor::getRed() const { return mRed; }

double CColor::getGreen() const { return mGreen; }

double CColor::getBlue() const { return mBlue; }

}  // namespace NPluginUI
