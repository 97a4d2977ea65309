// OrcaBrowserPlugin 1.0: the interface of the browser's plug-in controller
// service, as both of its sides see it: constants, update identifiers and
// value types. The field encoding is in orca_browser_plugin_codec.h.
//
// Update ids: requests (plug-in to controller) count up from 0, their
// answers from 0x80000000, attribute notifications from 0xC0000000. Each
// message's Zeta header carries one.
//
//   id          request / answer             payload in wire order
//   0x00000000  requestRegister              text description, text
//                                            mimeDescription, parameter list,
//                                            Int32 browserId
//   0x00000001  requestSetWindow             UInt32 instanceId, Int32 x, y,
//                                            width, height
//   0x00000002  requestKeyEvent              UInt32 instanceId, Int32 key
//   0x00000003  requestMouseEvent            UInt32 instanceId, Int32 button,
//                                            x, y
//   0x00000004  requestButtonEvent           UInt32 instanceId, Int32 button
//   0x00000005  requestDataAvailableEvent    UInt32 instanceId, text data
//   0x00000006  requestDeregister            UInt32 instanceId
//   0x80000000  responseRegister             UInt32 instanceId, eResult
//   0x80000001  responseSetWindow            eResult
//   0x80000002  responseKeyEvent             eResult
//   0x80000003  responseMouseEvent           eResult
//   0x80000004  responseButtonEvent          eResult
//   0x80000005  responseDeregister           eResult
//   0x80000006  responseDataAvailableEvent   eResult
//   0xC0000000  ConfigPath                   text, only with type code 514
//   0xFFFFFFFE  implVersion                  (ignored when received)
#pragma once

#include "platform/qv_string.h"
#include "platform/qv_types.h"

namespace OrcaBrowserPlugin {

extern const char* const SERVICE_NAME;  // "OrcaBrowserPlugin"
const UInt32 MAJOR_VERSION = 1;
const UInt32 MINOR_VERSION = 0;

enum UpdateIdEnum : UInt32 {
    UPD_ID_requestRegister = 0x00000000u,
    UPD_ID_requestSetWindow = 0x00000001u,
    UPD_ID_requestKeyEvent = 0x00000002u,
    UPD_ID_requestMouseEvent = 0x00000003u,
    UPD_ID_requestButtonEvent = 0x00000004u,
    UPD_ID_requestDataAvailableEvent = 0x00000005u,
    UPD_ID_requestDeregister = 0x00000006u,
    UPD_ID_responseRegister = 0x80000000u,
    UPD_ID_responseSetWindow = 0x80000001u,
    UPD_ID_responseKeyEvent = 0x80000002u,
    UPD_ID_responseMouseEvent = 0x80000003u,
    UPD_ID_responseButtonEvent = 0x80000004u,
    UPD_ID_responseDeregister = 0x80000005u,
    UPD_ID_responseDataAvailableEvent = 0x80000006u,
    UPD_ID_ConfigPath = 0xC0000000u,
    UPD_ID_implVersion = 0xFFFFFFFEu,
    UPD_ID_NOP = 0xFFFFFFFFu,
};

// Result code of an answer, 32 bits unsigned on the wire. 1 means failure;
// the controller may use other values, which are passed on unchanged.
enum eResult : UInt32 { RESULT_OK = 0, RESULT_ERROR = 1 };

// The name of an update id ("UPD_ID_responseMouseEvent"); "UPD_ID_NOP" for
// every value not listed above.
const char* toString(UpdateIdEnum id);

// The answer id that belongs to a request id, UPD_ID_NOP for anything else.
UpdateIdEnum responseIdFor(UInt32 requestId);

struct tNameValuePair {
    CQVString name;
    CQVString value;

    tNameValuePair() {}
    tNameValuePair(const CQVString& aName, const CQVString& aValue) : name(aName), value(aValue) {}
    tNameValuePair(const tNameValuePair& other) { *this = other; }
    tNameValuePair& operator=(const tNameValuePair& other) {
        if (this != &other) {
            name = other.name;
            value = other.value;
        }
        return *this;
    }
    ~tNameValuePair() {}
};

}  // namespace OrcaBrowserPlugin
