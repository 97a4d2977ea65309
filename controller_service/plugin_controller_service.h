// CPluginControllerService: a stand-in for the browser's plug-in controller
// service, the controller's side of OrcaBrowserPlugin 1.0 over Zeta. Used in
// process by tests and by the plugin-controller-service daemon.
//
// It listens as service "OrcaBrowserPlugin" with the given role (socket path
// from platform/zeta/zeta_runtime.h, so QV_ZETA_RUNTIME_DIR selects the
// directory), accepts registrations and assigns instance handles 1, 2, 3 ...,
// answers every request with the configured result (0 unless set), sends the
// configuration path notification after every subscription, and records
// every request it received, decoded and as raw payload bytes.
//
// Answers: with type code 512 (the default) each request gets its answer
// message with the result; any other answer type code (513 for "invalid",
// 516 for "failed") sends a header-only message with that type code and the
// request's own update id instead. A request whose payload cannot be
// decoded is recorded as malformed and answered with type code 513.
//
// Threads: start() runs the service on a thread of its own; stop() ends it
// and removes the socket, so clients see the service go away; start() again
// brings it back. All operations are thread-safe.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/zeta/zeta_service.h"

class CPluginControllerService : private IZetaServiceHandler {
public:
    struct Request {
        std::uint32_t updateId = 0;
        std::uint32_t instanceId = 0;  // requests other than registration
        // Register: browserId; set window: x, y, width, height; key: key;
        // mouse: button, x, y; button: button.
        std::vector<std::int32_t> values;
        std::string description;      // register
        std::string mimeDescription;  // register
        std::vector<std::pair<std::string, std::string>> parameters;  // register
        std::string data;             // data available
        bool malformed = false;
        std::vector<std::uint8_t> payload;  // the bytes after the header
    };

    explicit CPluginControllerService(const std::string& role = "BrowserPluginCtrl");
    ~CPluginControllerService();

    CPluginControllerService(const CPluginControllerService&) = delete;
    CPluginControllerService& operator=(const CPluginControllerService&) = delete;

    bool start();
    void stop();
    bool isRunning() const;
    std::string socketPath() const;

    void setResult(std::uint32_t result);
    void setAnswerTypeCode(std::uint32_t typeCode);
    // false: requests are recorded but never answered.
    void setAnswering(bool answering);
    // What follows a subscription: the path with type code 514, or, when not
    // valid, a notification with type code 515 and no payload.
    void setConfigPath(const std::string& path, bool valid);
    // The next answer goes out as exactly these bytes instead (once).
    void setRawAnswer(const std::vector<std::uint8_t>& bytes);
    // Called on the service thread for every recorded request.
    void setObserver(std::function<void(const Request&)> observer);
    // Once `count` requests have arrived (over all links, the last one
    // answered), the service reads nothing more, as a controller that
    // hangs; 0 lifts the limit. resumeReading() lifts it and reads again.
    void stopReadingAfter(std::size_t count);
    void resumeReading();

    std::vector<Request> requests() const;
    // Waits until at least `count` requests arrived; false on timeout.
    bool waitForRequests(std::size_t count, int timeoutMs) const;
    // Waits until at least `count` links were set up (over all starts).
    bool waitForConnections(int count, int timeoutMs) const;
    int connections() const;
    int subscriptions() const;
    std::uint32_t lastHandle() const;

private:
    void onPeerConnected(CZetaService& service, std::uint32_t peer) override;
    void onCall(CZetaService& service, std::uint32_t peer, const CZetaIStream& in) override;
    void onSubscribe(CZetaService& service, std::uint32_t peer, std::uint32_t updateId) override;
    void onPeerGone(CZetaService& service, std::uint32_t peer) override;

    Request decode(const CZetaIStream& in);
    void answer(CZetaService& service, std::uint32_t peer, const Request& request);
    void record(const Request& request);

    CZetaService mService;
    std::thread mThread;

    mutable std::mutex mMutex;
    mutable std::condition_variable mChanged;
    std::uint32_t mResult;
    std::uint32_t mAnswerTypeCode;
    bool mAnswering;
    std::size_t mReadLimit;
    std::string mConfigPath;
    bool mConfigPathValid;
    std::vector<std::uint8_t> mRawAnswer;
    std::function<void(const Request&)> mObserver;
    std::vector<Request> mRequests;
    int mConnections;
    int mSubscriptions;
    std::uint32_t mNextHandle;
};
