// Value types that cross the controller IPC interfaces.
#pragma once

#include "platform/qv_string.h"
#include "platform/qv_types.h"
#include "platform/qv_vector.h"

namespace NPluginsIPCCommunications {

typedef ::Int32 Int32;
typedef ::UInt32 UInt32;

// Result of a controller answer, carried unchanged from the wire. 1 means
// the request failed (also produced locally when a request cannot be sent).
enum eResult : UInt32 { RESULT_OK = 0, RESULT_ERROR = 1 };

struct tNameValuePair {
    CQVString name;
    CQVString value;

    tNameValuePair() = default;
    tNameValuePair(const CQVString& aName, const CQVString& aValue) : name(aName), value(aValue) {}
    tNameValuePair(const tNameValuePair& other) = default;
    tNameValuePair& operator=(const tNameValuePair& other) = default;

    // Names are compared first, values only when the names match.
    bool operator==(const tNameValuePair& other) const { return name == other.name && value == other.value; }
    bool operator!=(const tNameValuePair& other) const { return !(*this == other); }
};

typedef TQVVector<tNameValuePair> tParameterList;

}  // namespace NPluginsIPCCommunications
