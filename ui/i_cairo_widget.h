// ICairoWidget: marks a widget that draws with cairo. Cairo widgets derive
// from CWidget first and ICairoWidget second; deleting one through either
// base runs its whole destructor.
#pragma once

namespace NPluginUI {

class ICairoWidget {
public:
    virtual ~ICairoWidget() = 0;
};

}  // namespace NPluginUI
