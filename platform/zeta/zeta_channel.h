// CZetaChannel: the link of one client to its service, shared between the
// connection thread, which opens, flushes and closes it, and any thread that
// sends.
//
// Every link gets a new handle. A sender names the socket and handle it saw;
// a message for a link that has since been closed (or replaced by a newer
// one whose descriptor may carry the same number) fails with ENOTCONN
// instead of reaching the wrong peer. Ordinary messages need a connected
// link (the service accepted the link set-up); control messages may go out
// before.
//
// Two ways out:
//   post()  never waits: the message joins the link's outgoing queue, which
//           the connection thread empties in order as the socket takes them
//           (flush()); the connection is woken through the descriptor given
//           to setWakeFd(). Past Zeta::MAX_QUEUED_MESSAGES the oldest
//           discardable message (an input event) is dropped to make room, or
//           the new one when it is discardable and nothing else can go;
//           other messages are always taken up to Zeta::MAX_QUEUED_BYTES.
//           Drops are counted and logged: once when they begin, and with
//           their number when the queue has drained or the link closed.
//   send()  sends at once, waiting up to a timeout for room without holding
//           the channel's lock; it does not queue behind post()ed messages
//           (the link set-up, which goes out before anything is queued).
// Closing or replacing the link discards its queue with a log line naming
// how many messages were not delivered.
//
// All operations are thread-safe; the lock is never held while waiting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/zeta/zeta_types.h"

class CZetaChannel {
public:
    // label names the link in log lines ("Service.Role").
    explicit CZetaChannel(const std::string& label = std::string());
    ~CZetaChannel();

    CZetaChannel(const CZetaChannel&) = delete;
    CZetaChannel& operator=(const CZetaChannel&) = delete;

    // Connection thread: takes ownership of `fd` as a new, not yet connected
    // link and answers its handle. An older link is closed first.
    std::uint32_t open(int fd);
    // Connection thread: the service accepted the link.
    void setConnected(const SPartyID& own, const SPartyID& server);
    // Closes the link (if any); answers whether it was connected.
    bool close();
    // The descriptor post() writes to (an eventfd) so that the connection
    // thread wakes up; -1 for none.
    void setWakeFd(int fd);

    bool isConnected() const;
    int getSocket() const;
    std::uint32_t getHandle() const;
    SPartyID getOwnPartyId() const;
    SPartyID getServerPartyId() const;

    // Sends one datagram on the link (socket, handle). 0 or an errno value.
    // timeoutMs as in Zeta::sendDatagram.
    int send(int socket, std::uint32_t handle, bool control, const void* data, std::size_t length,
             int timeoutMs);

    // Queues one datagram for the link (socket, handle); updateId names it in
    // log lines. 0 when queued, ENOTCONN (no such link), ENOBUFS (dropped at
    // once: discardable and no room, or the queue's bytes are used up).
    int post(int socket, std::uint32_t handle, bool control, bool discardable, std::uint32_t updateId,
             const void* data, std::size_t length);

    struct SendFailure {
        std::uint32_t updateId;
        int error;
    };
    // Connection thread: sends queued messages while the socket takes them.
    // A message the socket refuses for good (other than for want of room) is
    // dropped and added to *failures. True when messages remain queued.
    bool flush(std::vector<SendFailure>* failures);
    bool hasQueued() const;
    // True from a flush() that found no room in the socket until the queue
    // is empty again: the service is not keeping up (or not reading).
    bool isBackedUp() const;

private:
    struct Queued {
        std::vector<std::uint8_t> bytes;
        std::uint32_t updateId;
        bool discardable;
    };
    // Empties the queue; answers the number of messages it held and, in
    // *dropped, the drops not yet reported. Lock held.
    std::size_t discardQueueLocked(unsigned long* dropped);
    void logDiscarded(std::size_t discarded, unsigned long dropped) const;
    void logDropped(unsigned long dropped) const;

    const std::string mLabel;
    mutable std::mutex mMutex;
    int mSocket;
    std::uint32_t mHandle;
    bool mConnected;
    SPartyID mOwn;
    SPartyID mServer;
    int mWakeFd;
    std::deque<Queued> mQueue;
    std::size_t mQueuedBytes;
    unsigned long mDropped;  // since the queue was last empty
    bool mBackedUp;
};
