// A small concrete plug-in used to drive the entry layer and the instance
// base through the built library. Its behaviour is chosen by embed
// attributes whose names start with "test-", and every hook it overrides
// says so in a log line starting with "TestInstance:" (onCleanup's is a
// warning), so tests observe it through the host alone.
#include <cstring>
#include <string>

#include "log/logger.h"
#include "plugin_base/plugin_module.h"
#include "plugin_base/qv_plugin_base.h"

namespace {

bool attributeIs(const nsPluginCreateData* data, const char* name, const char* value) {
    for (int i = 0; data && i < data->argc; ++i) {
        if (data->argn[i] && std::strcmp(data->argn[i], name) == 0) {
            return data->argv[i] && std::strcmp(data->argv[i], value) == 0;
        }
    }
    return false;
}

class TestInstance : public _CQVPluginBase {
public:
    explicit TestInstance(const nsPluginCreateData* data)
        : mDrawSurfaceResult(!attributeIs(data, "test-draw-surface", "false")),
          mDrawRectResult(!attributeIs(data, "test-draw-rect", "false")),
          mSetWindowResult(!attributeIs(data, "test-set-window", "false")),
          mThreadRunning(attributeIs(data, "test-thread-running", "true")) {}
    ~TestInstance() override { QV_LOG(LogMessage::MESSAGE, "TestInstance: destroyed"); }

    bool onInit() override {
        QV_LOG(LogMessage::MESSAGE, "TestInstance: onInit");
        return true;
    }
    void onCleanup() override { QV_LOG(LogMessage::WARNING, "TestInstance: onCleanup"); }
    bool onSetWindow(CPluginRect& windowRect, CPluginRect& clipRect) override {
        QV_LOG(LogMessage::MESSAGE, "TestInstance: onSetWindow %d %d %u %u", windowRect.getX(), windowRect.getY(),
               windowRect.getWidth(), windowRect.getHeight());
        _CQVPluginBase::onSetWindow(windowRect, clipRect);
        return mSetWindowResult;
    }
    bool onDraw(void* surface, CPluginRect& parent, CPluginRect& plugin, CPluginRect& clip,
                CPluginRect& draw) override {
        QV_LOG(LogMessage::MESSAGE, "TestInstance: onDraw(surface) %s", surface ? "non-null" : "null");
        _CQVPluginBase::onDraw(surface, parent, plugin, clip, draw);
        return mDrawSurfaceResult;
    }
    bool onDraw(CPluginRect& parent, CPluginRect& plugin, CPluginRect& clip, CPluginRect& draw) override {
        QV_LOG(LogMessage::MESSAGE, "TestInstance: onDraw(rects)");
        _CQVPluginBase::onDraw(parent, plugin, clip, draw);
        return mDrawRectResult;
    }
    bool onKey(Int32 key) override {
        QV_LOG(LogMessage::MESSAGE, "TestInstance: onKey %d", key);
        return _CQVPluginBase::onKey(key);
    }
    bool onMouse(eMouseEventType type, Int16 x, Int16 y, UInt16 button, UInt16 flags) override {
        QV_LOG(LogMessage::MESSAGE, "TestInstance: onMouse %d %d %d", static_cast<int>(type), x, y);
        return _CQVPluginBase::onMouse(type, x, y, button, flags);
    }
    bool isTreadRunning() override { return mThreadRunning; }

private:
    const bool mDrawSurfaceResult, mDrawRectResult, mSetWindowResult, mThreadRunning;
};

}  // namespace

_CQVPluginBase* NS_NewPluginInstance(nsPluginCreateData* data) {
    return attributeIs(data, "test-factory", "null") ? nullptr : new TestInstance(data);
}
const char* PluginGetName() { return "RrzTestPlugin"; }
const char* PluginGetDescription() { return "Test plug-in of the entry layer"; }
const char* PluginGetMimeTypeDescription() { return "application/x-rrz-test:tst:Test document"; }
