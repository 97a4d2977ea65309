// CColor: an RGB colour, each component a double meant to lie in 0..1
// (neither clamped nor validated). Widgets take colours by value and keep
// their own copies.
#pragma once

namespace NPluginUI {

class CColor {
public:
    CColor(double red, double green, double blue);
    CColor(const CColor& other);
    virtual ~CColor();
    CColor& operator=(const CColor& other);

    double getRed() const;
    double getGreen() const;
    double getBlue() const;

private:
    double mRed;
    double mGreen;
    double mBlue;
};

}  // namespace NPluginUI
