// Calls that a worker thread posts to the browser's plug-in thread with
// NPN_PluginThreadAsyncCall, made safe against the instance's destruction.
//
// The host may run a posted call after the instance that posted it is gone.
// So a posted call never carries a pointer into the instance: it carries a
// token, and the instance is looked up by token when the call runs, on the
// plug-in thread. An instance unregisters its token in its destructor (also
// on the plug-in thread), after which its pending calls find nothing and do
// nothing. Each posted call owns its data and frees it when it runs; a call
// the host never runs leaks only that small record.
#pragma once

#include "platform/qv_types.h"

class CRavudaRovudeZazizu;

namespace PluginThreadCalls {

typedef UInt64 Token;

// Plug-in thread. Tokens are never reused within the process.
Token registerInstance(CRavudaRovudeZazizu* plugin);
void unregisterInstance(Token token);
// The live instance of a token, or null. Plug-in thread only: the result is
// valid until the plug-in thread returns to the host.
CRavudaRovudeZazizu* lookup(Token token);

}  // namespace PluginThreadCalls
