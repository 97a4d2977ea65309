// Stream acceptance: a stream is taken or refused by the file extension at
// the end of its URL; its bytes go to the content manager.
#include <cstring>

#include "log/logger.h"
#include "office_viewer/mime_description.h"
#include "office_viewer/ravuda_rovude_zazizu.h"

namespace {
constexpr int32_t kWriteReadyBytes = 524288;

bool isEnabled(const char* extension) {
    const TQVVector<CQVString>& enabled = enabledExtensions();
    for (int i = 0; i < enabled.size(); ++i) {
        if (enabled.get(i) == extension) return true;
    }
    return false;
}
}  // namespace

NPError CRavudaRovudeZazizu::NewStream(NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype) {
    if (stream == nullptr) {
        QV_LOG(LogMessage::ERROR, "instID=%p, mimetype=%s, stream=0, seekable=%d", static_cast<void*>(mInstance),
               type ? type : "", seekable);
        return NPERR_INVALID_PARAM;
    }
    const char* url = stream->url ? stream->url : "";
    QV_LOG(LogMessage::MESSAGE, "instID=%p, mimetype=%s, size=%u, url=%s, seekable=%d",
           static_cast<void*>(mInstance), type ? type : "", stream->end, url, seekable);
    // One document at a time: the one on its way keeps its progress.
    if (mContentManager.isBusy()) {
        QV_LOG(LogMessage::ERROR, "a document is still being received or converted; stream refused");
        return NPERR_GENERIC_ERROR;
    }
    mProgressInfo.setSize(static_cast<double>(stream->end));

    const char* dot = std::strrchr(url, '.');
    if (dot == nullptr) {
        QV_LOG(LogMessage::WARNING, "File extension not found");
        setState(PLUGIN_STATE_ERROR);
        return NPERR_GENERIC_ERROR;
    }
    const char* extension = dot + 1;
    QV_LOG(LogMessage::MESSAGE, "cur extension = %s", extension);
    if (!isEnabled(extension)) {
        QV_LOG(LogMessage::WARNING, "File extension \"%s\" is disabled", extension);
        setState(PLUGIN_STATE_ERROR);
        return NPERR_GENERIC_ERROR;
    }
    QV_LOG(LogMessage::MESSAGE, "setting stream type to NP_NORMAL(%d)", NP_NORMAL);
    if (stype != nullptr) {
        *stype = NP_NORMAL;
    } else {
        QV_LOG(LogMessage::ERROR, "can't set stream type");
    }
    if (!mContentManager.streamBegin(stream, extension, stream->end, url)) {
        setState(PLUGIN_STATE_ERROR);
        return NPERR_GENERIC_ERROR;
    }
    return NPERR_NO_ERROR;
}

int32_t CRavudaRovudeZazizu::WriteReady(NPStream*) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p", static_cast<void*>(mInstance));
    return kWriteReadyBytes;
}

int32_t CRavudaRovudeZazizu::Write(NPStream* stream, int32_t offset, int32_t len, void* buffer) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p, offset=%d, len=%d", static_cast<void*>(mInstance), offset, len);
    if (!mContentManager.isCurrentStream(stream)) {
        QV_LOG(LogMessage::ERROR, "Error: write for a stream that is not being received");
        return -1;
    }
    int32_t written = mContentManager.streamWrite(stream, buffer, len);
    QV_LOG(LogMessage::MESSAGE, " %d from %d bytes written", written, len);
    mProgressInfo.incPosition(len);
    forceRedraw();
    return written;
}

NPError CRavudaRovudeZazizu::DestroyStream(NPStream* stream, NPReason reason) {
    QV_LOG(LogMessage::MESSAGE, "instID=%u, reason=%p",
           static_cast<unsigned>(reinterpret_cast<uintptr_t>(static_cast<void*>(mInstance))),
           reinterpret_cast<void*>(static_cast<intptr_t>(reason)));
    if (!mContentManager.isCurrentStream(stream)) {
        QV_LOG(LogMessage::ERROR, "Error: end of a stream that is not being received");
        return NPERR_INVALID_PARAM;
    }
    bool ok = mContentManager.streamFinish(stream, reason);
    setState(ok ? PLUGIN_STATE_CONVERTING : PLUGIN_STATE_ERROR);
    return NPERR_NO_ERROR;
}

void CRavudaRovudeZazizu::StreamAsFile(NPStream*, const char* fname) {
    QV_LOG(LogMessage::MESSAGE, "instID=%p, fname=%s", static_cast<void*>(mInstance), fname ? fname : "");
}
