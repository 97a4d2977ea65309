#include "host/host_instance.h"

#include <algorithm>
#include <cstring>

namespace host {

DrawTarget::DrawTarget(int width, int height)
    : mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)), mContext(cairo_create(mSurface)) {}

DrawTarget::~DrawTarget() {
    cairo_destroy(mContext);
    cairo_surface_destroy(mSurface);
}

uint32_t DrawTarget::pixel(int x, int y) {
    cairo_surface_flush(mSurface);
    if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(mSurface) ||
        y >= cairo_image_surface_get_height(mSurface)) {
        return 0;
    }
    const unsigned char* data = cairo_image_surface_get_data(mSurface);
    int stride = cairo_image_surface_get_stride(mSurface);
    uint32_t value;
    std::memcpy(&value, data + y * stride + x * 4, sizeof(value));
    return value;
}

bool DrawTarget::writePng(const std::string& path) {
    cairo_surface_flush(mSurface);
    return cairo_surface_write_to_png(mSurface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

HostInstance::HostInstance(HostBrowser& browser) : mBrowser(browser) {
    std::memset(&mNpp, 0, sizeof(mNpp));
    std::memset(&mWindow, 0, sizeof(mWindow));
    mNpp.ndata = this;
}

HostInstance::~HostInstance() {
    if (mCreated) destroy();
}

NPError HostInstance::create(const std::string& mimeType, const Attributes& attributes, uint16_t mode,
                             NPSavedData* saved) {
    mMimeType = mimeType;
    std::vector<char*> names;
    std::vector<char*> values;
    for (const auto& attribute : attributes) {
        names.push_back(const_cast<char*>(attribute.first.c_str()));
        values.push_back(const_cast<char*>(attribute.second.c_str()));
    }
    NPError result = mBrowser.pluginFuncs().newp(const_cast<char*>(mMimeType.c_str()), &mNpp, mode,
                                                 static_cast<int16_t>(names.size()), names.data(), values.data(),
                                                 saved);
    mCreated = result == NPERR_NO_ERROR;
    return result;
}

NPError HostInstance::setWindow(int32_t x, int32_t y, uint32_t width, uint32_t height, void* handle) {
    fillWindow(x, y, width, height);
    mWindow.window = handle ? handle : this;
    return deliverWindow();
}

NPError HostInstance::setDrawableWindow(int32_t x, int32_t y, uint32_t width, uint32_t height, void* wsInfo) {
    fillWindow(x, y, width, height);
    mWindow.window = nullptr;
    mWindow.ws_info = wsInfo;
    return deliverWindow();
}

void HostInstance::fillWindow(int32_t x, int32_t y, uint32_t width, uint32_t height) {
    mWindow.x = x;
    mWindow.y = y;
    mWindow.width = width;
    mWindow.height = height;
    mWindow.clipRect.top = static_cast<uint16_t>(y);
    mWindow.clipRect.left = static_cast<uint16_t>(x);
    mWindow.clipRect.bottom = static_cast<uint16_t>(y + static_cast<int32_t>(height));
    mWindow.clipRect.right = static_cast<uint16_t>(x + static_cast<int32_t>(width));
    mWindow.type = NPWindowTypeDrawable;
}

NPError HostInstance::deliverWindow() {
    NPError result = mBrowser.pluginFuncs().setwindow(&mNpp, &mWindow);
    // A failed first window makes the plug-in delete its instance object.
    if (result == NPERR_MODULE_LOAD_FAILED_ERROR) mNpp.pdata = nullptr;
    return result;
}

NPError HostInstance::destroy(NPSavedData** save) {
    if (!mCreated) return NPERR_INVALID_INSTANCE_ERROR;
    NPError result = mBrowser.pluginFuncs().destroy(&mNpp, save);
    mCreated = false;
    mNpp.pdata = nullptr;
    return result;
}

StreamResult HostInstance::stream(const std::string& url, const std::string& bytes, const StreamOptions& options) {
    StreamResult result;
    Stream stream(*this, url, options.announceLength ? static_cast<uint32_t>(bytes.size()) : 0, options.mimeType);
    result.newStream = stream.begin(&result.streamType);
    if (result.newStream != NPERR_NO_ERROR) return result;
    long written = stream.write(bytes, options.chunkSize);
    result.writeFailed = written < 0;
    result.delivered = written < 0 ? 0 : static_cast<size_t>(written);
    result.stalled = !result.writeFailed && result.delivered < bytes.size();
    result.reason = (result.writeFailed || result.stalled) ? NPRES_NETWORK_ERR : options.reason;
    result.destroyStream = stream.finish(result.reason);
    return result;
}

HostInstance::Stream::Stream(HostInstance& owner, const std::string& url, uint32_t announcedLength,
                             const std::string& mimeType)
    : mOwner(owner), mUrl(url), mMimeType(mimeType) {
    std::memset(&mStream, 0, sizeof(mStream));
    mStream.ndata = this;
    mStream.url = mUrl.c_str();
    mStream.end = announcedLength;
}

NPError HostInstance::Stream::begin(uint16_t* streamType) {
    uint16_t type = NP_NORMAL;
    NPError result = mOwner.mBrowser.pluginFuncs().newstream(mOwner.npp(), const_cast<char*>(mMimeType.c_str()),
                                                             &mStream, false, &type);
    if (streamType) *streamType = type;
    mOpen = result == NPERR_NO_ERROR;
    return result;
}

long HostInstance::Stream::write(const std::string& bytes, size_t chunkSize) {
    const NPPluginFuncs& funcs = mOwner.mBrowser.pluginFuncs();
    size_t done = 0;
    int idleRounds = 0;
    while (done < bytes.size()) {
        int32_t ready = funcs.writeready(mOwner.npp(), &mStream);
        if (ready <= 0) {
            // A real browser retries later; give the plug-in's queued calls a
            // chance to run, then give up after a bounded number of rounds.
            if (++idleRounds > 100) break;
            mOwner.mBrowser.runPendingCalls();
            continue;
        }
        size_t n = std::min({chunkSize, bytes.size() - done, static_cast<size_t>(ready)});
        int32_t taken = funcs.write(mOwner.npp(), &mStream, mOffset, static_cast<int32_t>(n),
                                    const_cast<char*>(bytes.data() + done));
        if (taken < 0) return -1;
        if (taken == 0) {
            if (++idleRounds > 100) break;
            continue;
        }
        idleRounds = 0;
        size_t accepted = std::min(static_cast<size_t>(taken), n);
        done += accepted;
        mOffset += static_cast<int32_t>(accepted);
    }
    return static_cast<long>(done);
}

NPError HostInstance::Stream::finish(NPReason reason) {
    if (!mOpen) return NPERR_GENERIC_ERROR;
    mOpen = false;
    return mOwner.mBrowser.pluginFuncs().destroystream(mOwner.npp(), &mStream, reason);
}

int16_t HostInstance::draw(DrawTarget* target) {
    papi_rect_t plugin{static_cast<int16_t>(mWindow.x), static_cast<int16_t>(mWindow.y), mWindow.width,
                       mWindow.height};
    return draw(target ? target->context() : nullptr, plugin, plugin, plugin, plugin);
}

int16_t HostInstance::draw(void* surface, const papi_rect_t& parent, const papi_rect_t& plugin,
                           const papi_rect_t& clip, const papi_rect_t& drawRect) {
    papi_draw_event_t record{surface, parent, plugin, clip, drawRect};
    return event(PAPI_DRAW_EVENT, &record);
}

int16_t HostInstance::mouse(int32_t type, int32_t x, int32_t y, int32_t button, int32_t flags) {
    papi_mouse_event_t record{x, y, type, button, flags};
    return event(PAPI_MOUSE_EVENT, &record);
}

int16_t HostInstance::key(int32_t modifiers, int32_t cap, int32_t sym, int32_t scan, int32_t flags) {
    papi_key_event_t record{modifiers, cap, sym, scan, flags};
    return event(PAPI_KEY_EVENT, &record);
}

int16_t HostInstance::zoom(int32_t type, double factor) {
    papi_zoom_event_t record{type, factor};
    return event(PAPI_ZOOM_EVENT, &record);
}

int16_t HostInstance::scroll(int32_t type, int32_t x, int32_t y) {
    papi_scroll_event_t record{type, x, y};
    return event(PAPI_SCROLL_EVENT, &record);
}

int16_t HostInstance::event(int32_t type, void* record) {
    papi_event_t event{type, record};
    return rawEvent(&event);
}

int16_t HostInstance::rawEvent(void* event) { return mBrowser.pluginFuncs().event(&mNpp, event); }

}  // namespace host
