// Zeta: the IPC middleware through which the plug-in reaches the browser's
// services. Values shared by both sides of a link.
//
// Transport: one Unix domain SOCK_SEQPACKET socket per client and service,
// one message per datagram. A message is the middleware's header (below)
// followed by the payload. Every field is in the machine's native byte order
// (both ends run on the same machine).
//
// Message header, 40 bytes:
//
//   offset size field
//        0    4 magic          0x5A455441; anything else is dropped
//        4    4 typeCode       Zeta::ResultType (0 in client messages)
//        8    4 updateId       the service interface's update identifier
//       12    2 requestType    Zeta::RequestType
//       14    2 command        Zeta::Command
//       16    4 flags          reserved, 0
//       20    8 sender         SPartyID: processId (4), clientId (4)
//       28    8 receiver       SPartyID
//       36    4 payloadLength  bytes after the header; must equal the
//                              datagram's length minus 40
//       40      payload
//
// Because the header is a multiple of 4 bytes long, a field aligned to 4 from
// the start of the buffer is also aligned to 4 from the start of the payload.
//
// A message is at most MAX_MESSAGE_SIZE bytes, header included. Longer
// datagrams are dropped by the receiver; a sender refuses to build them.
//
// Link set-up: after connect() the client sends a control message
// (REQUEST_TYPE_CONTROL, COMMAND_CONNECT) whose payload is the interface
// version as two UInt32, major then minor. The service answers COMMAND_CONNECT
// with RESULT_OK, its own party id as sender and the client's as receiver,
// when the major versions are equal and the client's minor is not newer than
// its own; otherwise with RESULT_INVALID and closes the link. Only after
// RESULT_OK is the client "connected". Subscriptions are control messages
// (COMMAND_SUBSCRIBE / COMMAND_UNSUBSCRIBE) carrying the notification's
// update id in the header.
#pragma once

#include <cstdint>

namespace Zeta {

// What a client message asks the service to do.
enum RequestType : std::uint16_t {
    REQUEST_TYPE_NONE = 0,       // messages from the service
    REQUEST_TYPE_CALL = 256,     // an interface operation with an answer
    REQUEST_TYPE_CONTROL = 257,  // the middleware's own traffic
};

enum Command : std::uint16_t {
    COMMAND_NONE = 0,
    COMMAND_CONNECT = 1,
    COMMAND_SUBSCRIBE = 2,
    COMMAND_UNSUBSCRIBE = 3,
    COMMAND_NOTIFY = 4,  // service to client: notification data
    COMMAND_INVOKE = 7,  // an interface operation (requests and answers)
};

// The type code of a message from the service.
enum ResultType : std::uint32_t {
    RESULT_NONE = 0,           // client messages carry no type code
    RESULT_OK = 512,           // an answer; the payload is the operation's
    RESULT_INVALID = 513,      // the request was invalid; no payload
    RESULT_DATA_VALID = 514,   // notification carrying valid data
    RESULT_DATA_INVALID = 515, // notification: the data is not available
    RESULT_FAILED = 516,       // the service could not carry the request out
};

enum DataStateType : std::uint32_t {
    DATA_STATE_UNKNOWN = 0,
    DATA_STATE_INVALID = 1,
    DATA_STATE_VALID = 2,
};

constexpr std::uint32_t MESSAGE_MAGIC = 0x5A455441u;
constexpr std::uint32_t HEADER_SIZE = 40;
constexpr std::uint32_t MAX_MESSAGE_SIZE = 65536;
// Event code of an internal event on a connection.
constexpr int INTERNAL_EVENT_CODE = 103;
// How long send(-1) waits for room in the socket before giving up.
constexpr int DEFAULT_SEND_TIMEOUT_MS = 1000;
// A link's outgoing queue (CZetaChannel::post): the number of messages past
// which discardable ones (input events) are dropped, oldest first, and the
// bytes past which nothing more is taken.
constexpr unsigned MAX_QUEUED_MESSAGES = 256;
constexpr unsigned MAX_QUEUED_BYTES = 1024 * 1024;
// How long a stopping connection keeps trying to send what is still queued.
constexpr int CLOSING_FLUSH_MS = 20;

}  // namespace Zeta

// Identifies one end of a link: the process and the client within it
// (clientId 0 is the service itself).
struct SPartyID {
    std::uint32_t processId = 0;
    std::uint32_t clientId = 0;

    bool operator==(const SPartyID& other) const {
        return processId == other.processId && clientId == other.clientId;
    }
    bool operator!=(const SPartyID& other) const { return !(*this == other); }
};
