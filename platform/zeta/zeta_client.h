// CZetaClient: the client side of one Zeta service (name, role, version).
//
// A client does nothing by itself: it is attached to a CZetaConnection
// (add), whose event loop connects it to the service, reconnects it with a
// bounded backoff after the service went away, and calls the virtual
// operations below on the connection thread, never with a middleware lock
// held (so they may send requests and subscribe):
//   componentConnected()    the service accepted the link
//   componentDisconnected() a connected link was lost
//   processResponse(in)     a message from the service (answers,
//                           notifications); `in` is valid during the call
//   processInternalEvent()  an event posted on the connection for this client
//   cleanup()               the connection's event loop ended
//
// Sending: build a CZetaOStream from getChannel(), getSocket(), getHandle()
// and the party ids, then post() it (queued, sent by the connection thread
// in order, never waits) or send() it (at once, waiting for room). A
// message built for a link that has since been lost is refused with
// ENOTCONN, never sent to a later link. Subscriptions are posted.
//
// Every public non-virtual operation may be called from any thread. A client
// must outlive the event loop of the connection it was added to.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "platform/zeta/zeta_channel.h"
#include "platform/zeta/zeta_istream.h"
#include "platform/zeta/zeta_types.h"

class CZetaConnection;

class CZetaClient {
public:
    CZetaClient(const char* service, const char* role, std::uint32_t majorVersion, std::uint32_t minorVersion);
    virtual ~CZetaClient();

    CZetaClient(const CZetaClient&) = delete;
    CZetaClient& operator=(const CZetaClient&) = delete;

    // The name of an update id of the client's interface, for log lines.
    virtual const char* getUpdateIDString(unsigned int id);
    virtual void componentConnected() = 0;
    virtual void componentDisconnected() = 0;
    virtual void processInternalEvent(int event, void* data);
    virtual void cleanup();
    virtual void processResponse(CZetaIStream& in) = 0;

    bool isConnected() const { return mChannel.isConnected(); }
    CZetaChannel* getChannel() { return &mChannel; }
    int getSocket() const { return mChannel.getSocket(); }
    std::uint32_t getHandle() const { return mChannel.getHandle(); }
    SPartyID getOwnPartyId() const { return mChannel.getOwnPartyId(); }
    SPartyID getServerPartyId() const { return mChannel.getServerPartyId(); }
    CZetaConnection* getConnection() const { return mConnection.load(); }
    // Assigned by the connection on add (from 1); 0 before.
    std::uint32_t getClientId() const { return mClientId.load(); }

    const std::string& getServiceName() const { return mService; }
    const std::string& getRoleName() const { return mRole; }
    std::uint32_t getMajorVersion() const { return mMajor; }
    std::uint32_t getMinorVersion() const { return mMinor; }

    // Subscribes to the notification `updateId`. Subscriptions outlive the
    // link: they are posted whenever a link is accepted, before
    // componentConnected(). Subscribing twice sends nothing more. False only
    // when a connected link refused the message (logged).
    bool setNotification(std::uint32_t updateId);
    // Drops a subscription; false when a connected link refused the message.
    bool clearNotification(std::uint32_t updateId);
    bool hasNotification(std::uint32_t updateId) const;

private:
    friend class CZetaConnection;

    // Connection thread: marks the link accepted and sends the
    // subscriptions, under the subscription lock so that a concurrent
    // setNotification() sends each id exactly once.
    void linkAccepted(const SPartyID& own, const SPartyID& server);
    bool sendControl(Zeta::Command command, std::uint32_t updateId);

    const std::string mService;
    const std::string mRole;
    const std::uint32_t mMajor;
    const std::uint32_t mMinor;
    CZetaChannel mChannel;
    std::atomic<CZetaConnection*> mConnection;
    std::atomic<std::uint32_t> mClientId;
    mutable std::mutex mSubscriptionMutex;
    std::set<std::uint32_t> mSubscriptions;
};
