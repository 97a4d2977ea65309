// CRavudaRovudeZazizu: the office viewer plug-in instance.
//
// Accepts the document stream by URL extension, feeds it to its content
// manager, and paints its rectangle: the background colour and one centred
// widget, the progress bar while bytes arrive and the animated loading
// circle while the document is looked up and converted. A failure turns the
// widgets to the error colour; a browser without the private message service
// also gets the failure's message drawn below the widget. Everything here
// runs on the browser's plug-in thread; the conversion worker reaches the
// instance only through calls posted to that thread.
#pragma once

#include "office_viewer/content_manager.h"
#include "office_viewer/plugin_thread_calls.h"
#include "plugin_base/plugin_rect.h"
#include "plugin_base/qv_plugin_base.h"
#include "ui/cairo_context.h"
#include "ui/color.h"
#include "ui/label_cairo_widget.h"
#include "ui/loading_circle_cairo_widget.h"
#include "ui/progress_bar_cairo_widget.h"
#include "ui/progress_info.h"

class CRavudaRovudeZazizu : public _CQVPluginBase {
public:
    enum PluginState { PLUGIN_STATE_RECEIVING = 0, PLUGIN_STATE_ERROR = 1, PLUGIN_STATE_CONVERTING = 2 };

    static const char* const sPluginName;
    static const char* const MIME_TYPE_DOC;
    static const char* const MIME_TYPE_DOCX;
    static const char* const MIME_TYPE_XLS;
    static const char* const MIME_TYPE_XLSX;
    static const char* const MIME_TYPE_PPT;
    static const char* const MIME_TYPE_PPTX;
    static const char* const MIME_TYPE_STREAM;      // format: %s = enabled extensions
    static const char* const MIME_TYPE_TEXT_PLAIN;  // format: %s = enabled extensions

    CRavudaRovudeZazizu();
    ~CRavudaRovudeZazizu() override;

    NPError NewStream(NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype) override;
    NPError DestroyStream(NPStream* stream, NPReason reason) override;
    void StreamAsFile(NPStream* stream, const char* fname) override;
    int32_t WriteReady(NPStream* stream) override;
    int32_t Write(NPStream* stream, int32_t offset, int32_t len, void* buffer) override;
    void URLNotify(const char* url, NPReason reason, void* notifyData) override;
    void Print(NPPrint* printInfo) override;
    NPError GetValue(NPPVariable variable, void* value) override;
    NPError SetValue(NPNVariable variable, void* value) override;
    NPObject* GetScriptableObject() override;
    bool onInit() override;
    bool onSetWindow(CPluginRect& windowRect, CPluginRect& clipRect) override;
    bool onDraw(CPluginRect& parent, CPluginRect& plugin, CPluginRect& clip, CPluginRect& draw) override;
    bool onDraw(void* surface, CPluginRect& parent, CPluginRect& plugin, CPluginRect& clip,
                CPluginRect& draw) override;
    bool onKey(Int32 key) override;
    bool onKey(Int32 modifiers, Int32 cap, Int32 sym, Int32 scan, Int32 flags) override;
    bool onMouse(eMouseEventType type, Int16 x, Int16 y, UInt16 button, UInt16 flags) override;
    void onCleanup() override;

    void setState(PluginState state);
    void reportError();
    void forceRedraw();
    void logEnvironmentAndSettings();
    // A message for the user from a browser that has no private message
    // service: logged, and drawn below the widget in the error state.
    void showMessage(const char* text);

    NPP getInstance() const { return mInstance; }
    PluginState getState() const { return mState; }

private:
    // Registered first and unregistered last, so that calls posted by the
    // worker find the instance exactly while it lives.
    PluginThreadCalls::Token mToken;
    PluginState mState;
    CContentManager mContentManager;
    CPluginRect mPluginRect;
    NPluginUI::CCairoContext mCairoContext;
    NPluginUI::CProgressInfo mProgressInfo;
    NPluginUI::CProgressBarCairoWidget* mProgressBar;
    NPluginUI::CLoadingCircleCairoWidget* mLoadingCircle;
    NPluginUI::CWidget* mCurrentWidget;
    NPluginUI::CColor mBackgroundColor;
    NPluginUI::CLabelCairoWidget* mMessageLabel;
};
