// HostInstance: one plug-in instance as the browser drives it, through the
// plug-in table that NP_Initialize filled: NPP_New with embed attributes,
// windows, streams, host event records and NPP_Destroy. Plug-in thread only.
#pragma once

#include <cairo.h>

#include <string>
#include <utility>
#include <vector>

#include "host/host_browser.h"
#include "plugin_base/papi_events.h"

namespace host {

struct StreamResult {
    NPError newStream = NPERR_GENERIC_ERROR;
    uint16_t streamType = NP_NORMAL;
    size_t delivered = 0;       // bytes the plug-in accepted
    bool writeFailed = false;   // NPP_Write answered negative
    bool stalled = false;       // NPP_WriteReady stayed at 0
    NPReason reason = NPRES_DONE;
    NPError destroyStream = NPERR_GENERIC_ERROR;
};

struct StreamOptions {
    std::string mimeType = "application/octet-stream";
    size_t chunkSize = 4096;
    bool announceLength = true;  // NPStream::end = size, else 0
    NPReason reason = NPRES_DONE;  // the reason given when all bytes went in
};

// An image surface with a cairo context: what the host paints into.
class DrawTarget {
public:
    DrawTarget(int width, int height);
    ~DrawTarget();
    DrawTarget(const DrawTarget&) = delete;
    DrawTarget& operator=(const DrawTarget&) = delete;

    cairo_t* context() { return mContext; }
    cairo_surface_t* surface() { return mSurface; }
    // ARGB32 pixel at (x, y), after flushing.
    uint32_t pixel(int x, int y);
    bool writePng(const std::string& path);

private:
    cairo_surface_t* mSurface;
    cairo_t* mContext;
};

class HostInstance {
public:
    typedef std::vector<std::pair<std::string, std::string>> Attributes;

    explicit HostInstance(HostBrowser& browser);
    ~HostInstance();  // destroys the instance if it still lives
    HostInstance(const HostInstance&) = delete;
    HostInstance& operator=(const HostInstance&) = delete;

    NPError create(const std::string& mimeType, const Attributes& attributes = Attributes(),
                   uint16_t mode = NP_EMBED, NPSavedData* saved = nullptr);
    NPError setWindow(int32_t x, int32_t y, uint32_t width, uint32_t height, void* handle = nullptr);
    // A stock X11 browser's windowless record: a null handle and the
    // window-system data (an NPSetWindowCallbackStruct) in ws_info.
    NPError setDrawableWindow(int32_t x, int32_t y, uint32_t width, uint32_t height, void* wsInfo);
    // NPP_Destroy; the saved data, if any, is handed back in *save.
    NPError destroy(NPSavedData** save = nullptr);
    bool created() const { return mCreated; }
    NPP npp() { return &mNpp; }
    const NPWindow& window() const { return mWindow; }

    // Streams all bytes at once, the browser's way: WriteReady, Write in
    // chunks of at most chunkSize, then DestroyStream.
    StreamResult stream(const std::string& url, const std::string& bytes,
                        const StreamOptions& options = StreamOptions());

    // A stream delivered step by step.
    class Stream {
    public:
        Stream(HostInstance& owner, const std::string& url, uint32_t announcedLength,
               const std::string& mimeType);
        NPError begin(uint16_t* streamType = nullptr);
        // Offers bytes in chunks; returns how many the plug-in took, -1 when
        // it failed the stream.
        long write(const std::string& bytes, size_t chunkSize = 4096);
        NPError finish(NPReason reason = NPRES_DONE);
        NPStream& npStream() { return mStream; }

    private:
        HostInstance& mOwner;
        std::string mUrl;
        std::string mMimeType;
        NPStream mStream;
        int32_t mOffset = 0;
        bool mOpen = false;
    };

    // Host event records. draw() paints the plug-in's window area; a null
    // target sends a null surface.
    int16_t draw(DrawTarget* target);
    int16_t draw(void* surface, const papi_rect_t& parent, const papi_rect_t& plugin, const papi_rect_t& clip,
                 const papi_rect_t& drawRect);
    int16_t mouse(int32_t type, int32_t x, int32_t y, int32_t button = 0, int32_t flags = 0);
    int16_t key(int32_t modifiers, int32_t cap, int32_t sym, int32_t scan, int32_t flags);
    int16_t zoom(int32_t type, double factor);
    int16_t scroll(int32_t type, int32_t x, int32_t y);
    int16_t event(int32_t type, void* record);
    int16_t rawEvent(void* event);

private:
    void fillWindow(int32_t x, int32_t y, uint32_t width, uint32_t height);
    NPError deliverWindow();

    HostBrowser& mBrowser;
    NPP_t mNpp;
    NPWindow mWindow;
    bool mCreated = false;
    std::string mMimeType;
};

}  // namespace host
