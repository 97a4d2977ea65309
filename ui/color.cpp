#include "ui/color.h"

#include <cmath>

namespace NPluginUI {

namespace {
constexpr double kTolerance = 1e-6;

bool close(double a, double b) { return std::fabs(a - b) < kTolerance; }
}  // namespace

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

bool CColor::operator==(const CColor& other) const {
    return close(mRed, other.mRed) && close(mGreen, other.mGreen) && close(mBlue, other.mBlue);
}

}  // namespace NPluginUI
