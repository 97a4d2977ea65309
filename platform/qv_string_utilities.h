// Text helpers. Any thread may call; no shared state.
#pragma once

#include "platform/qv_string.h"
#include "platform/qv_vector.h"

namespace QVStringUtilities {
// Replaces the content of out with the pieces of text between separators,
// in order. An empty text gives no pieces. skipEmpty = false keeps empty
// pieces ("a,,b" -> "a", "", "b"; "a," -> "a", ""); true drops them. An
// empty separator gives text as the one piece.
void split(TQVVector<CQVString>& out, const CQVString& text, const char* separator,
           bool skipEmpty);
}
