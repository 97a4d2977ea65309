// CZetaService: the service side of Zeta, for services and their stand-ins.
//
// open() binds the listening socket at Zeta::servicePath(name, role)
// (creating the runtime directory when needed); run() then serves clients
// on the calling thread until stop(): it accepts links, answers the link
// set-up (same major version, client minor not newer than the service's),
// keeps each link's subscriptions and hands every call to the handler. Bad
// input (short or oversize datagrams, a wrong header, calls before the link
// set-up) is dropped or answered RESULT_INVALID; a vanished client is
// forgotten. close() closes every link and removes the socket file.
//
// Threads: stop() and pauseReading() from any thread wake run() at once. Everything else,
// including the handler's callbacks and the send operations, belongs to the
// thread that runs run() (or to the owner while run() is not running).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/zeta/zeta_istream.h"
#include "platform/zeta/zeta_ostream.h"

class CZetaService;

class IZetaServiceHandler {
public:
    virtual ~IZetaServiceHandler() {}
    // A client finished the link set-up.
    virtual void onPeerConnected(CZetaService& service, std::uint32_t peer) = 0;
    // A REQUEST_TYPE_CALL message from a connected client.
    virtual void onCall(CZetaService& service, std::uint32_t peer, const CZetaIStream& in) = 0;
    // A client subscribed to `updateId` (also when it already was).
    virtual void onSubscribe(CZetaService& service, std::uint32_t peer, std::uint32_t updateId) = 0;
    // The link closed (by the client, by a failure, or by close()).
    virtual void onPeerGone(CZetaService& service, std::uint32_t peer) = 0;
};

class CZetaService {
public:
    CZetaService(const std::string& name, const std::string& role, std::uint32_t majorVersion,
                 std::uint32_t minorVersion, IZetaServiceHandler* handler);
    ~CZetaService();

    CZetaService(const CZetaService&) = delete;
    CZetaService& operator=(const CZetaService&) = delete;

    bool open();
    // Serves until stop(); false when not open or poll fails.
    bool run();
    void stop();
    // true: reads no more client messages (new links are still accepted but
    // not set up), as a service that hangs; false: reads again. Any thread,
    // the handler's callbacks included: reading stops after the message
    // being handled.
    void pauseReading(bool paused);
    void close();
    const std::string& getPath() const { return mPath; }

    // A message to `peer` with its header filled in; append the payload,
    // then hand it to send().
    CZetaOStream* newMessage(std::uint32_t peer, std::uint32_t typeCode, Zeta::Command command,
                             std::uint32_t updateId);
    // Sends and deletes `out`. A peer that cannot take it is dropped.
    bool send(std::uint32_t peer, CZetaOStream* out);
    // Sends raw bytes as one datagram, for tests that feed clients bad input.
    bool sendRaw(std::uint32_t peer, const void* data, std::size_t length);

    bool isSubscribed(std::uint32_t peer, std::uint32_t updateId) const;
    std::vector<std::uint32_t> peers() const;
    SPartyID getPartyId() const;

private:
    struct Peer {
        int fd;
        bool connected;
        SPartyID party;
        std::set<std::uint32_t> subscriptions;
    };

    void acceptPeers();
    void receive(std::uint32_t peer);
    void handle(std::uint32_t peer, const std::uint8_t* bytes, std::size_t length);
    void answerSetup(std::uint32_t peer, const CZetaIStream& in);
    void dropPeer(std::uint32_t peer);
    void wake();

    const std::string mName;
    const std::string mRole;
    const std::uint32_t mMajor;
    const std::uint32_t mMinor;
    IZetaServiceHandler* const mHandler;
    std::string mPath;
    int mListenFd;
    int mWakeFd;
    std::atomic<bool> mStopRequested;
    std::atomic<bool> mReadingPaused;
    std::map<std::uint32_t, Peer> mPeers;
    std::uint32_t mNextPeer;
    std::vector<std::uint8_t> mReceiveBuffer;
};
