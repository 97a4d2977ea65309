// Fitting a registration into one controller message.
//
// The registration carries the embed's attributes, whose values a page may
// make as long as it likes, while a Zeta message holds at most
// Zeta::MAX_MESSAGE_SIZE bytes. A registration that would not fit goes out
// with its largest values emptied (names kept), as few as it takes.
//
// Any thread; the functions keep no state.
#pragma once

#include <cstddef>

#include "ipc/orca_browser_plugin.h"
#include "platform/qv_vector.h"

namespace OrcaBrowserPlugin {

// Bytes of the requestRegister message with these fields, header included.
std::size_t registerMessageSize(const CQVString& description, const CQVString& mimeDescription,
                                const TQVVector<tNameValuePair>& parameters);

// Empties the fewest, largest values of `parameters` (of equal ones the
// earlier first) that make the message fit `limit` bytes, and logs each
// one it empties with its name and length. Answers how many it emptied, or
// -1 (logged, nothing changed) when the message is too large even with
// every value empty.
int fitRegisterMessage(const CQVString& description, const CQVString& mimeDescription,
                       TQVVector<tNameValuePair>& parameters, std::size_t limit);

}  // namespace OrcaBrowserPlugin
