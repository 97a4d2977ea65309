// A consumer for round-trip tests: records every callback with its thread,
// lets a test wait for them, and can register on componentConnected as the
// plug-in instance does (from the connection thread).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ipc/ipc_consumer_base.h"
#include "ipc/ipc_transport_base.h"

class TestConsumer : public NPluginsIPCCommunications::CIPCConsumerBase {
public:
    typedef NPluginsIPCCommunications::eResult eResult;

    void responseRegister(eResult result) override { note("register " + std::to_string(result)); }
    void responseSetWindow(eResult result) override { note("setWindow " + std::to_string(result)); }
    void responseKeyEvent(eResult result) override { note("key " + std::to_string(result)); }
    void responseMouseEvent(eResult result) override { note("mouse " + std::to_string(result)); }
    void responseButtonEvent(eResult result) override { note("button " + std::to_string(result)); }
    void responseDataAvailableEvent(eResult result) override { note("data " + std::to_string(result)); }
    void responseDeregister(eResult result) override { note("deregister " + std::to_string(result)); }
    void onConfigPathUpdate(const CQVString& path) override { note(std::string("config ") + path.c_str()); }
    void componentConnected() override {
        note("connected");
        NPluginsIPCCommunications::CIPCTransportBase* transport = registerThrough.load();
        if (transport != nullptr) {
            NPluginsIPCCommunications::tParameterList parameters;
            parameters.push_back(NPluginsIPCCommunications::tNameValuePair("src", "a.doc"));
            transport->requestRegister("Viewer", "application/msword", parameters);
            transport->notifyOnConfigPath(true);
        }
    }
    void componentDisconnected() override { note("disconnected"); }

    // Waits until `what` was recorded `times` times.
    bool waitFor(const std::string& what, int times = 1, int timeoutMs = 3000) {
        std::unique_lock<std::mutex> lock(mMutex);
        return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return countLocked(what) >= times; });
    }
    int count(const std::string& what) {
        std::lock_guard<std::mutex> lock(mMutex);
        return countLocked(what);
    }
    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mCalls;
    }
    // The calls without the connection events.
    std::vector<std::string> answers() {
        std::vector<std::string> out;
        for (const std::string& call : calls()) {
            if (call != "connected" && call != "disconnected") out.push_back(call);
        }
        return out;
    }

    // When set, componentConnected registers and subscribes through it.
    std::atomic<NPluginsIPCCommunications::CIPCTransportBase*> registerThrough{nullptr};

private:
    void note(const std::string& what) {
        std::lock_guard<std::mutex> lock(mMutex);
        mCalls.push_back(what);
        mChanged.notify_all();
    }
    int countLocked(const std::string& what) const {
        int n = 0;
        for (const std::string& call : mCalls) n += call == what ? 1 : 0;
        return n;
    }

    std::mutex mMutex;
    std::condition_variable mChanged;
    std::vector<std::string> mCalls;
};
