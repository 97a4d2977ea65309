// _CQVPluginBase without X11 support (RRZ_X11 off, as on the device): a
// browser that gave no private table sends events this build cannot read,
// so each is refused rather than misread as one of the host's records.
#include "log/logger.h"
#include "plugin_base/qv_plugin_base.h"

uint16_t _CQVPluginBase::handleWindowSystemEvent(void* /*event*/) {
    QV_LOG(LogMessage::ERROR, "Error: event of a browser without the private table; built without X11 support");
    return 0;
}
