// Helpers for the controller IPC tests: messages as the controller would
// send them, and a consumer that records what reaches it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ipc/ipc_consumer_base.h"
#include "ipc/orca_browser_plugin_codec.h"
#include "platform/zeta/zeta_ostream.h"
#include "tests/support/processes.h"

// An answer or notification from the controller: `fill` writes the payload.
template <typename Fill>
std::vector<std::uint8_t> controllerMessage(std::uint32_t typeCode, std::uint32_t updateId, Fill fill) {
    CZetaOStream out(nullptr, -1, 0, Zeta::REQUEST_TYPE_NONE, Zeta::COMMAND_INVOKE, updateId, SPartyID{1, 0},
                     SPartyID{2, 1}, 0);
    out.setTypeCode(typeCode);
    fill(out);
    out.sealHeader();
    return std::vector<std::uint8_t>(out.getBuffer(), out.getBuffer() + out.getSize());
}

// Records every callback as text ("key 0", "config /path", "connected"),
// from whichever thread it comes.
class TestConsumer : public NPluginsIPCCommunications::CIPCConsumerBase {
public:
    typedef NPluginsIPCCommunications::eResult eResult;

    void responseRegister(eResult result) override { note("register", result); }
    void responseSetWindow(eResult result) override { note("setWindow", result); }
    void responseKeyEvent(eResult result) override { note("key", result); }
    void responseMouseEvent(eResult result) override { note("mouse", result); }
    void responseButtonEvent(eResult result) override { note("button", result); }
    void responseDataAvailableEvent(eResult result) override { note("data", result); }
    void responseDeregister(eResult result) override { note("deregister", result); }
    void onConfigPathUpdate(const CQVString& path) override { note(std::string("config ") + path.c_str()); }
    void componentConnected() override { note("connected"); }
    void componentDisconnected() override { note("disconnected"); }

    // Waits, with a generous deadline, until `what` was recorded `times` times.
    bool waitFor(const std::string& what, int times = 1) {
        return test_support::eventually([&] { return count(what) >= times; });
    }
    int count(const std::string& what) {
        std::lock_guard<std::mutex> lock(mMutex);
        return static_cast<int>(std::count(mCalls.begin(), mCalls.end(), what));
    }
    // The calls without the connection events.
    std::vector<std::string> answers() {
        std::lock_guard<std::mutex> lock(mMutex);
        std::vector<std::string> out;
        for (const std::string& call : mCalls) {
            if (call != "connected" && call != "disconnected") out.push_back(call);
        }
        return out;
    }

private:
    void note(const std::string& what, int result) { note(what + " " + std::to_string(result)); }
    void note(const std::string& what) {
        std::lock_guard<std::mutex> lock(mMutex);
        mCalls.push_back(what);
    }

    std::mutex mMutex;
    std::vector<std::string> mCalls;
};
