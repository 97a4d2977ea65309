// IProgressInfo: a source of progress for a progress display. Position and
// size are plain numbers in any unit; neither is limited, so the position may
// exceed the size. Plug-in thread only.
#pragma once

namespace NPluginUI {

class IProgressInfo {
public:
    virtual ~IProgressInfo() {}
    virtual double getPosition() const = 0;
    virtual double getSize() const = 0;
    // The text to show, or null for none. Valid until the next call or the
    // source's destruction, whichever comes first.
    virtual const char* toString() const = 0;
};

}  // namespace NPluginUI
