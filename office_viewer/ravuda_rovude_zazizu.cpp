#include "office_viewer/ravuda_rovude_zazizu.h"

#include <cairo.h>

#include <algorithm>
#include <cstdlib>

#include "log/logger.h"
#include "params/office_plugin_params.h"
#include "plugin_base/npn_wrappers.h"

namespace {
const char kVersion[] = "$Change: 273562 $";
const char kSubmitDate[] = "$Date: 2013/06/04 $";
// The message line below the widget.
constexpr int kMessageWidth = 400;
constexpr int kMessageHeight = 40;
constexpr int kMessageFontSize = 24;
constexpr int kMessageGap = 16;

NPluginUI::CColor configuredColor(COfficePluginParams::OfficePluginParamsValue red) {
    COfficePluginParams* params = COfficePluginParams::getInstance();
    return NPluginUI::CColor(params->getDoubleValue(red),
                             params->getDoubleValue(static_cast<COfficePluginParams::OfficePluginParamsValue>(red + 1)),
                             params->getDoubleValue(static_cast<COfficePluginParams::OfficePluginParamsValue>(red + 2)));
}
}  // namespace

CRavudaRovudeZazizu::CRavudaRovudeZazizu()
    : mToken(PluginThreadCalls::registerInstance(this)),
      mState(PLUGIN_STATE_RECEIVING),
      mContentManager(*this, mToken),
      mProgressBar(nullptr),
      mLoadingCircle(nullptr),
      mCurrentWidget(nullptr),
      mBackgroundColor(0, 0, 0),
      mMessageLabel(nullptr) {
    logEnvironmentAndSettings();
}

CRavudaRovudeZazizu::~CRavudaRovudeZazizu() {
    QV_LOG(LogMessage::MESSAGE, "Destroyed - instID=%p", static_cast<void*>(mInstance));
    mContentManager.cleanup();
    delete mProgressBar;
    delete mLoadingCircle;
    delete mMessageLabel;
    PluginThreadCalls::unregisterInstance(mToken);
}

void CRavudaRovudeZazizu::logEnvironmentAndSettings() {
    COfficePluginParams* params = COfficePluginParams::getInstance();
    QV_LOG(LogMessage::MESSAGE, "Constructor - instID=%p", static_cast<void*>(mInstance));
    QV_LOG(LogMessage::MESSAGE, "OFFICE_PLUGINS_FONTS=%s", params->getValue(COfficeParamsBase::FONTS_PATH));
    QV_LOG(LogMessage::MESSAGE, "OFFICE_PLUGINS_BIN=%s", params->getValue(COfficeParamsBase::BIN_PATH));
    QV_LOG(LogMessage::MESSAGE, "OFFICE_PLUGINS_DATA=%s", params->getValue(COfficeParamsBase::DATA_PATH));
    QV_LOG(LogMessage::MESSAGE, "OFFICE_PLUGINS_RESOURCES=%s", params->getValue(COfficeParamsBase::RESOURCES_PATH));
    QV_LOG(LogMessage::MESSAGE, "OFFICE_PLUGINS_MIME_TYPES=%s", params->getValue(COfficePluginParams::MIME_TYPES));
    QV_LOG(LogMessage::MESSAGE, "OFFICE_PLUGINS_TIME_LIMIT=%lf",
           params->getDoubleValue(COfficePluginParams::TIME_LIMIT));
    if (const char* memoryLimit = std::getenv("OFFICE_PLUGINS_MEMORY_LIMIT")) {
        QV_LOG(LogMessage::MESSAGE, "OFFICE_PLUGINS_MEMORY_LIMIT=%s", memoryLimit);
    }
    if (const char* libraryPath = std::getenv("LD_LIBRARY_PATH")) {
        QV_LOG(LogMessage::MESSAGE, "LD_LIBRARY_PATH=%s", libraryPath);
    }
    QV_LOG(LogMessage::MESSAGE, "Temporary data directory is %s",
           params->getValue(COfficeParamsBase::TEMP_DATA_PATH));
    QV_LOG(LogMessage::MESSAGE, "Version: %s", kVersion);
    QV_LOG(LogMessage::MESSAGE, "Submit date: %s", kSubmitDate);
}

bool CRavudaRovudeZazizu::onInit() {
    QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance));
    bool ready = mContentManager.init();
    if (!ready) QV_LOG(LogMessage::ERROR, "can't init ContentManager");
    NPluginUI::CColor background = configuredColor(COfficePluginParams::BACKGROUND_COLOR_RED);
    NPluginUI::CColor foreground = configuredColor(COfficePluginParams::FOREGROUND_COLOR_RED);
    NPluginUI::CColor progress = configuredColor(COfficePluginParams::PROGRESS_COLOR_RED);
    delete mProgressBar;
    delete mLoadingCircle;
    mProgressBar = new NPluginUI::CProgressBarCairoWidget(mCairoContext, mProgressInfo, 400, 60, 5, 48, background,
                                                          foreground, progress, true);
    mLoadingCircle = new NPluginUI::CLoadingCircleCairoWidget(mCairoContext, 200, 200, foreground, progress);
    delete mMessageLabel;
    mMessageLabel = new NPluginUI::CLabelCairoWidget(mCairoContext, kMessageWidth, kMessageHeight, kMessageFontSize,
                                                     foreground);
    mCurrentWidget = mProgressBar;
    mBackgroundColor = background;
    return ready;
}

void CRavudaRovudeZazizu::onCleanup() {
    QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance));
    delete mProgressBar;
    delete mLoadingCircle;
    delete mMessageLabel;
    mProgressBar = nullptr;
    mLoadingCircle = nullptr;
    mMessageLabel = nullptr;
    mCurrentWidget = nullptr;
    mContentManager.cleanup();
}

void CRavudaRovudeZazizu::setState(PluginState state) {
    if (state == PLUGIN_STATE_ERROR) {
        NPluginUI::CColor error = configuredColor(COfficePluginParams::ERROR_COLOR_RED);
        if (mProgressBar) mProgressBar->setBarColor(error);
        if (mLoadingCircle) mLoadingCircle->setProgressColor(error);
        forceRedraw();
    } else if (state == PLUGIN_STATE_CONVERTING) {
        mCurrentWidget = mLoadingCircle;
        forceRedraw();
    }
    mState = state;
}

void CRavudaRovudeZazizu::reportError() { setState(PLUGIN_STATE_ERROR); }

void CRavudaRovudeZazizu::showMessage(const char* text) {
    QV_LOG(LogMessage::ERROR, "instID=%p, message: %s", static_cast<void*>(mInstance), text ? text : "");
    if (mMessageLabel != nullptr) mMessageLabel->setText(text);
}

void CRavudaRovudeZazizu::forceRedraw() {
    QV_LOG(LogMessage::MESSAGE, "instID=%u",
           static_cast<unsigned>(reinterpret_cast<uintptr_t>(static_cast<void*>(mInstance))));
    NPRect rect = mPluginRect.getNPRect();
    NPN_InvalidateRect(mInstance, &rect);
    NPN_ForceRedraw(mInstance);
}

bool CRavudaRovudeZazizu::onDraw(void* surface, CPluginRect& /*parent*/, CPluginRect& plugin, CPluginRect& /*clip*/,
                                 CPluginRect& /*draw*/) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance));
    mPluginRect = plugin;
    cairo_t* cairo = static_cast<cairo_t*>(surface);
    mCairoContext.mCairo = cairo;
    int x = plugin.getX();
    int y = plugin.getY();
    int width = plugin.getWidth();
    int height = plugin.getHeight();
    cairo_save(cairo);
    cairo_set_source_rgb(cairo, mBackgroundColor.getRed(), mBackgroundColor.getGreen(), mBackgroundColor.getBlue());
    cairo_rectangle(cairo, x, y, width, height);
    cairo_fill(cairo);
    cairo_restore(cairo);
    if (mCurrentWidget != nullptr) {
        int top = y + (height - mCurrentWidget->getHeight()) / 2;
        mCurrentWidget->draw(x + (width - mCurrentWidget->getWidth()) / 2, top);
        if (mState == PLUGIN_STATE_ERROR && mMessageLabel != nullptr && mMessageLabel->getText()[0] != '\0') {
            // Below the widget, or at the bottom of a rectangle too low for that.
            int below = std::min(top + mCurrentWidget->getHeight() + kMessageGap, y + height - kMessageHeight);
            mMessageLabel->draw(x + (width - kMessageWidth) / 2, below);
        }
    } else {
        QV_LOG(LogMessage::ERROR, "mCurrentWidget = 0");
    }
    // The host's context is valid only during this event.
    mCairoContext.mCairo = nullptr;
    if (mState == PLUGIN_STATE_CONVERTING) forceRedraw();
    return true;
}

bool CRavudaRovudeZazizu::onDraw(CPluginRect&, CPluginRect&, CPluginRect&, CPluginRect&) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance));
    return true;
}

bool CRavudaRovudeZazizu::onSetWindow(CPluginRect& windowRect, CPluginRect& clipRect) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance));
    // The controller learns the geometry through the base while registered.
    _CQVPluginBase::onSetWindow(windowRect, clipRect);
    return true;
}

bool CRavudaRovudeZazizu::onKey(Int32 key) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p, key=%d", static_cast<void*>(mInstance), key);
    return true;
}

bool CRavudaRovudeZazizu::onKey(Int32 modifiers, Int32 cap, Int32 sym, Int32 scan, Int32 flags) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p, modifiers=%d, cap=%d, sym=%d, scan=%d, flags=%d",
           static_cast<void*>(mInstance), modifiers, cap, sym, scan, flags);
    return true;
}

bool CRavudaRovudeZazizu::onMouse(eMouseEventType type, Int16 x, Int16 y, UInt16 button, UInt16 flags) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p, mouseEventType=%d, x=%d, y=%d, button=%u, flags=%u",
           static_cast<void*>(mInstance), static_cast<int>(type), x, y, button, flags);
    return true;
}

NPObject* CRavudaRovudeZazizu::GetScriptableObject() {
    QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance));
    return nullptr;
}

void CRavudaRovudeZazizu::Print(NPPrint*) { QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance)); }

void CRavudaRovudeZazizu::URLNotify(const char*, NPReason, void*) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance));
}

NPError CRavudaRovudeZazizu::GetValue(NPPVariable variable, void* value) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p, variable=%u", static_cast<void*>(mInstance),
           static_cast<unsigned>(variable));
    return _CQVPluginBase::GetValue(variable, value);
}

NPError CRavudaRovudeZazizu::SetValue(NPNVariable variable, void* value) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p, variable=%u", static_cast<void*>(mInstance),
           static_cast<unsigned>(variable));
    return _CQVPluginBase::SetValue(variable, value);
}
