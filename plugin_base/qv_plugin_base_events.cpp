// Host event decoding and the default event hooks of _CQVPluginBase.
#include "log/logger.h"
#include "plugin_base/browser_funcs.h"
#include "plugin_base/qv_plugin_base.h"

const Int32 _CQVPluginBase::sMouseEventTranslateTable[][2] = {
    {0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {-1, -1}};

namespace {
Int32 translateMouseType(Int32 hostType) {
    for (int i = 0; _CQVPluginBase::sMouseEventTranslateTable[i][0] != -1; ++i) {
        if (_CQVPluginBase::sMouseEventTranslateTable[i][0] == hostType) {
            return _CQVPluginBase::sMouseEventTranslateTable[i][1];
        }
    }
    return -1;
}

void logRect(const char* function, const char* format, CPluginRect& rect) {
    CLogger::log(LogMessage::MESSAGE, "", function, format, rect.getTop(), rect.getLeft(), rect.getBottom(),
                 rect.getRight());
}
}  // namespace

uint16_t _CQVPluginBase::HandleEvent(void* event) {
    QV_LOG_ENTRY();
    if (!hasPrivateTable()) return handleWindowSystemEvent(event);
    papi_event_t* record = static_cast<papi_event_t*>(event);
    if (record == nullptr || record->data == nullptr) {
        QV_LOG(LogMessage::MESSAGE, "Error: received NULL event!");
        return 0;
    }
    switch (record->type) {
        case PAPI_DRAW_EVENT: {
            papi_draw_event_t* draw = static_cast<papi_draw_event_t*>(record->data);
            CPluginRect parent(draw->parentRect);
            CPluginRect plugin(draw->pluginRect);
            CPluginRect clip(draw->clipRect);
            CPluginRect drawRect(draw->drawRect);
            if (!mInitialized) {
                QV_LOG(LogMessage::MESSAGE, "Error: received PAPI_DRAW_EVENT, but not initialized yet!");
                return 0;
            }
            uint16_t result = 1;
            if (draw->surface != nullptr) result = onDraw(draw->surface, parent, plugin, clip, drawRect) ? 1 : 0;
            return onDraw(parent, plugin, clip, drawRect) ? result : 0;
        }
        case PAPI_MOUSE_EVENT: {
            papi_mouse_event_t* mouse = static_cast<papi_mouse_event_t*>(record->data);
            Int32 mapped = translateMouseType(mouse->type);
            if (mapped < 0) return 0;
            return onMouse(static_cast<eMouseEventType>(mapped), static_cast<Int16>(mouse->x),
                           static_cast<Int16>(mouse->y), static_cast<UInt16>(mouse->button),
                           static_cast<UInt16>(mouse->flags));
        }
        case PAPI_KEY_EVENT: {
            papi_key_event_t* key = static_cast<papi_key_event_t*>(record->data);
            return onKey(key->modifiers, key->cap, key->sym, key->scan, key->flags);
        }
        case PAPI_ZOOM_EVENT: {
            papi_zoom_event_t* zoom = static_cast<papi_zoom_event_t*>(record->data);
            return onZoom(zoom->type, zoom->factor);
        }
        case PAPI_SCROLL_EVENT: {
            papi_scroll_event_t* scroll = static_cast<papi_scroll_event_t*>(record->data);
            return onScroll(scroll->type, scroll->x, scroll->y);
        }
        default:
            QV_LOG(LogMessage::MESSAGE, "Error: received undefined event %d (0x%02X)!", record->type,
                   static_cast<unsigned>(record->type));
            return 0;
    }
}

bool _CQVPluginBase::onDraw(void* surface, CPluginRect& parent, CPluginRect& plugin, CPluginRect& clip,
                            CPluginRect& draw) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "pSurface=0x%p", surface);
    logRect(__PRETTY_FUNCTION__, "parentRect: top=%d left=%d bottom=%d right=%d", parent);
    logRect(__PRETTY_FUNCTION__, "pluginRect: top=%d left=%d bottom=%d right=%d", plugin);
    logRect(__PRETTY_FUNCTION__, "clipRect: top=%d left=%d bottom=%d right=%d", clip);
    logRect(__PRETTY_FUNCTION__, "drawRect: top=%d left=%d bottom=%d right=%d", draw);
    return true;
}

bool _CQVPluginBase::onDraw(CPluginRect& parent, CPluginRect& plugin, CPluginRect& clip, CPluginRect& draw) {
    QV_LOG_ENTRY();
    logRect(__PRETTY_FUNCTION__, "parentRect: top=%d left=%d bottom=%d right=%d", parent);
    logRect(__PRETTY_FUNCTION__, "pluginRect: top=%d left=%d bottom=%d right=%d", plugin);
    logRect(__PRETTY_FUNCTION__, "clipRect  : top=%d left=%d bottom=%d right=%d", clip);
    logRect(__PRETTY_FUNCTION__, "drawRect  : top=%d left=%d bottom=%d right=%d", draw);
    return true;
}

bool _CQVPluginBase::onMouse(eMouseEventType type, Int16 x, Int16 y, UInt16 button, UInt16 flags) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "eventType:%d x=%d y=%d", static_cast<int>(type), x, y);
    if (button != 0) QV_LOG(LogMessage::MESSAGE, "button: %d", button);
    if (flags != 0) QV_LOG(LogMessage::MESSAGE, "flags: %d", flags);
    QV_LOG(LogMessage::MESSAGE, "%s", "");
    NPluginsIPCCommunications::CIPCTransportBase* ipc = transport();
    if (ipc != nullptr && mRegistered && (type == 0 || type == 1)) {
        ipc->requestMouseEvent(button, x, y);
        return true;
    }
    return false;
}

bool _CQVPluginBase::onKey(Int32 /*modifiers*/, Int32 cap, Int32 /*sym*/, Int32 scan, Int32 flags) {
    QV_LOG_ENTRY();
    if ((flags & (PAPI_KEY_DOWN | PAPI_KEY_REPEAT)) == 0) return false;
    if (flags & PAPI_KEY_CAP_VALID) return onKey(cap);
    if (flags & PAPI_KEY_SCAN_VALID) return onKey(scan);
    return false;
}

bool _CQVPluginBase::onKey(Int32 key) {
    QV_LOG_ENTRY();
    NPluginsIPCCommunications::CIPCTransportBase* ipc = transport();
    if (ipc != nullptr && mRegistered) {
        ipc->requestKeyEvent(key);
        return true;
    }
    return false;
}

bool _CQVPluginBase::onZoom(zoom_event_type type, double factor) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "type=%d factor=%f", static_cast<int>(type), factor);
    return true;
}

bool _CQVPluginBase::onScroll(scroll_event_type type, Int32 x, Int32 y) {
    QV_LOG_ENTRY();
    QV_LOG(LogMessage::MESSAGE, "type=%d x=%d y=%d", static_cast<int>(type), x, y);
    return true;
}

bool _CQVPluginBase::onSetWindow(CPluginRect& windowRect, CPluginRect& /*clipRect*/) {
    QV_LOG_ENTRY();
    NPluginsIPCCommunications::CIPCTransportBase* ipc = transport();
    if (ipc != nullptr && mRegistered) {
        ipc->requestSetWindow(windowRect.getX(), windowRect.getY(), windowRect.getWidth(),
                                        windowRect.getHeight());
    }
    return true;
}
