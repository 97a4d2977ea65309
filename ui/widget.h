// CWidget: the base of every plug-in widget. A widget has a size but no
// position; its owner passes the top-left corner to every draw call, in the
// coordinates of the surface it draws on. Widgets are used on the browser's
// plug-in thread only and lock nothing.
#pragma once

#include "plugin_base/mouse_event_type.h"

namespace NPluginUI {

class CWidget {
public:
    CWidget();
    CWidget(int width, int height);
    virtual ~CWidget();

    virtual int getWidth() const;
    virtual int getHeight() const;
    // Stores both values as given (no validation) and returns true.
    virtual bool setSize(int width, int height);
    // Draws the widget with its top-left corner at (x, y).
    virtual void draw(int x, int y) = 0;
    // A mouse event at (x, y). The default handles nothing: it sets handled
    // to false and returns false.
    virtual bool onMouse(int x, int y, NPluginMouse::eMouseEventType type, unsigned short button,
                         unsigned short flags, bool& handled);

protected:
    int mWidth;
    int mHeight;
};

}  // namespace NPluginUI
