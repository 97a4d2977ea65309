#include "controller_service/plugin_controller_service.h"

#include <chrono>

#include "ipc/orca_browser_plugin.h"
#include "ipc/orca_browser_plugin_codec.h"

using namespace OrcaBrowserPlugin;

CPluginControllerService::CPluginControllerService(const std::string& role)
    : mService(SERVICE_NAME, role, MAJOR_VERSION, MINOR_VERSION, this),
      mResult(RESULT_OK),
      mAnswerTypeCode(Zeta::RESULT_OK),
      mAnswering(true),
      mReadLimit(0),
      mConfigPath("/etc/browser/plugins.conf"),
      mConfigPathValid(true),
      mConnections(0),
      mSubscriptions(0),
      mNextHandle(0) {}

CPluginControllerService::~CPluginControllerService() { stop(); }

bool CPluginControllerService::start() {
    if (mThread.joinable()) return true;
    if (!mService.open()) return false;
    mThread = std::thread([this] { mService.run(); });
    return true;
}

void CPluginControllerService::stop() {
    if (!mThread.joinable()) return;
    mService.stop();
    mThread.join();
    mService.close();
}

bool CPluginControllerService::isRunning() const { return mThread.joinable(); }

std::string CPluginControllerService::socketPath() const { return mService.getPath(); }

void CPluginControllerService::setResult(std::uint32_t result) {
    std::lock_guard<std::mutex> lock(mMutex);
    mResult = result;
}

void CPluginControllerService::setAnswerTypeCode(std::uint32_t typeCode) {
    std::lock_guard<std::mutex> lock(mMutex);
    mAnswerTypeCode = typeCode;
}

void CPluginControllerService::setAnswering(bool answering) {
    std::lock_guard<std::mutex> lock(mMutex);
    mAnswering = answering;
}

void CPluginControllerService::setConfigPath(const std::string& path, bool valid) {
    std::lock_guard<std::mutex> lock(mMutex);
    mConfigPath = path;
    mConfigPathValid = valid;
}

void CPluginControllerService::setRawAnswer(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mMutex);
    mRawAnswer = bytes;
}

void CPluginControllerService::stopReadingAfter(std::size_t count) {
    bool pause;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mReadLimit = count;
        pause = count != 0 && mRequests.size() >= count;
    }
    mService.pauseReading(pause);
}

void CPluginControllerService::resumeReading() { stopReadingAfter(0); }

void CPluginControllerService::setObserver(std::function<void(const Request&)> observer) {
    std::lock_guard<std::mutex> lock(mMutex);
    mObserver = observer;
}

std::vector<CPluginControllerService::Request> CPluginControllerService::requests() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mRequests;
}

bool CPluginControllerService::waitForRequests(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return mRequests.size() >= count; });
}

bool CPluginControllerService::waitForConnections(int count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mMutex);
    return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return mConnections >= count; });
}

int CPluginControllerService::connections() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mConnections;
}

int CPluginControllerService::subscriptions() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mSubscriptions;
}

std::uint32_t CPluginControllerService::lastHandle() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mNextHandle;
}

void CPluginControllerService::onPeerConnected(CZetaService&, std::uint32_t) {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mConnections;
    mChanged.notify_all();
}

void CPluginControllerService::onPeerGone(CZetaService&, std::uint32_t) {}

void CPluginControllerService::onSubscribe(CZetaService& service, std::uint32_t peer, std::uint32_t updateId) {
    std::string path;
    bool valid;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        ++mSubscriptions;
        path = mConfigPath;
        valid = mConfigPathValid;
        mChanged.notify_all();
    }
    if (updateId != UPD_ID_ConfigPath) return;
    CZetaOStream* out = service.newMessage(peer, valid ? Zeta::RESULT_DATA_VALID : Zeta::RESULT_DATA_INVALID,
                                           Zeta::COMMAND_NOTIFY, UPD_ID_ConfigPath);
    if (valid) ZetaWriteString(*out, path.c_str());
    service.send(peer, out);
}

void CPluginControllerService::onCall(CZetaService& service, std::uint32_t peer, const CZetaIStream& in) {
    Request request = decode(in);
    // Answered first: a test that saw the request recorded may change the
    // next answer without racing this one.
    answer(service, peer, request);
    record(request);
}

CPluginControllerService::Request CPluginControllerService::decode(const CZetaIStream& in) {
    Request request;
    request.updateId = in.getUpdateId();
    request.payload.assign(in.getBuffer() + Zeta::HEADER_SIZE, in.getBuffer() + in.getSize());
    std::int32_t value = 0;
    int count = 0;
    switch (request.updateId) {
        case UPD_ID_requestRegister: {
            CQVString description, mime;
            TQVVector<tNameValuePair> parameters;
            ZetaReadString(in, description);
            ZetaReadString(in, mime);
            ZetaReadTParameterList(in, parameters);
            ZetaReadInt32(in, value);
            request.description = description.c_str();
            request.mimeDescription = mime.c_str();
            for (int i = 0; i < parameters.size(); ++i) {
                request.parameters.emplace_back(parameters.get(i).name.c_str(), parameters.get(i).value.c_str());
            }
            request.values.push_back(value);
            break;
        }
        case UPD_ID_requestSetWindow: count = 4; break;
        case UPD_ID_requestMouseEvent: count = 3; break;
        case UPD_ID_requestKeyEvent:
        case UPD_ID_requestButtonEvent: count = 1; break;
        case UPD_ID_requestDataAvailableEvent: {
            CQVString data;
            ZetaReadUInt32(in, request.instanceId);
            ZetaReadString(in, data);
            request.data = data.c_str();
            break;
        }
        case UPD_ID_requestDeregister: ZetaReadUInt32(in, request.instanceId); break;
        default: request.malformed = true; break;
    }
    if (count != 0) {
        ZetaReadUInt32(in, request.instanceId);
        for (int i = 0; i < count; ++i) {
            ZetaReadInt32(in, value);
            request.values.push_back(value);
        }
    }
    // Trailing bytes count as malformed too: each request has a fixed shape.
    if (in.getError() != 0 || in.remaining() != 0) request.malformed = true;
    return request;
}

void CPluginControllerService::record(const Request& request) {
    std::function<void(const Request&)> observer;
    bool pause;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mRequests.push_back(request);
        observer = mObserver;
        pause = mReadLimit != 0 && mRequests.size() >= mReadLimit;
        mChanged.notify_all();
    }
    if (pause) mService.pauseReading(true);
    if (observer) observer(request);
}

void CPluginControllerService::answer(CZetaService& service, std::uint32_t peer, const Request& request) {
    std::uint32_t result, typeCode, handle = 0;
    std::vector<std::uint8_t> raw;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mAnswering) return;
        result = mResult;
        typeCode = request.malformed ? static_cast<std::uint32_t>(Zeta::RESULT_INVALID) : mAnswerTypeCode;
        raw.swap(mRawAnswer);
        if (request.updateId == UPD_ID_requestRegister && !request.malformed) handle = ++mNextHandle;
    }
    if (!raw.empty()) {
        service.sendRaw(peer, raw.data(), raw.size());
        return;
    }
    if (typeCode != Zeta::RESULT_OK) {
        service.send(peer, service.newMessage(peer, typeCode, Zeta::COMMAND_INVOKE, request.updateId));
        return;
    }
    CZetaOStream* out = service.newMessage(peer, typeCode, Zeta::COMMAND_INVOKE, responseIdFor(request.updateId));
    if (request.updateId == UPD_ID_requestRegister) ZetaWriteUInt32(*out, handle);
    ZetaWriteUInt32(*out, result);
    service.send(peer, out);
}
