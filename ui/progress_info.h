// CProgressInfo: the progress source the owner feeds (the instance: bytes
// received of the announced length). Its text is either a percentage it
// writes itself ("42%", or "..." while the size is not positive) or a custom
// text given by the owner. Not copyable. Plug-in thread only.
#pragma once

#include "ui/i_progress_info.h"

namespace NPluginUI {

class CProgressInfo : public IProgressInfo {
public:
    CProgressInfo();
    ~CProgressInfo() override;

    double getPosition() const override;
    double getSize() const override;
    // Custom mode: the custom text (null if none was ever stored). Default
    // mode: 100 x position / size truncated toward zero as "%d%%" when the
    // size is above 0, else "..."; a percentage outside the int range is
    // clamped to it and a NaN one shows "...". Regenerated on every call; the
    // pointer stays valid until the next call or destruction.
    const char* toString() const override;

    virtual void incPosition(double delta);
    virtual void setPosition(double position);
    virtual void setSize(double size);
    // Back to the percentage; a stored custom text stays stored.
    virtual void useDefaultText();
    // Null is ignored. Otherwise a copy of text becomes the custom text and
    // custom mode is on. If the copy cannot be allocated the call changes
    // nothing and logs an error.
    virtual void useCustomText(const char* text);

    CProgressInfo(const CProgressInfo&) = delete;
    CProgressInfo& operator=(const CProgressInfo&) = delete;

private:
    static const unsigned kDefaultTextSize = 32;

    double mPosition;
    double mSize;
    // Rewritten by toString, hence mutable.
    mutable char mDefaultText[kDefaultTextSize];
    char* mCustomText;
    bool mUseDefaultText;
};

}  // namespace NPluginUI
