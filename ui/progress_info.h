// CProgressInfo: the progress source the owner feeds (the instance: bytes
// received of the announced length). Its text is the percentage ("42%", or
// "..." while the size is not positive). Not copyable. Plug-in thread only.
#pragma once

#include "ui/i_progress_info.h"

namespace NPluginUI {

class CProgressInfo : public IProgressInfo {
public:
    CProgressInfo();

    double getPosition() const override;
    double getSize() const override;
    // 100 x position / size truncated toward zero as "%d%%" when the size is
    // above 0, else "..."; a percentage outside the int range is clamped to
    // it and a NaN one shows "...". Regenerated on every call; the pointer
    // stays valid until the next call or destruction.
    const char* toString() const override;

    virtual void incPosition(double delta);
    virtual void setPosition(double position);
    virtual void setSize(double size);

    CProgressInfo(const CProgressInfo&) = delete;
    CProgressInfo& operator=(const CProgressInfo&) = delete;

private:
    static const unsigned kDefaultTextSize = 32;

    double mPosition;
    double mSize;
    // Rewritten by toString, hence mutable.
    mutable char mDefaultText[kDefaultTextSize];
};

}  // namespace NPluginUI
