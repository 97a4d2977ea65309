#include "plugin_base/browser_funcs.h"

#include <cstring>

NPNetscapeFuncs NPNFuncs;
NPNetscapePrivateFuncs NPNPrivateFuncs;

void clearBrowserFunctionTables() {
    std::memset(&NPNFuncs, 0, sizeof(NPNFuncs));
    std::memset(&NPNPrivateFuncs, 0, sizeof(NPNPrivateFuncs));
    NPNFuncs.size = sizeof(NPNFuncs);
    NPNPrivateFuncs.size = sizeof(NPNPrivateFuncs);
}

bool hasPrivateTable() { return NPNPrivateFuncs.version != 0; }

bool hasPrivateURLService() { return NPNPrivateFuncs.geturl_private != nullptr; }

bool hasPrivateMessageService() { return NPNPrivateFuncs.sendmessage_private != nullptr; }

namespace {
// Runs when the library is loaded, before any entry point can be called.
struct FuncTableInitializer {
    FuncTableInitializer() { clearBrowserFunctionTables(); }
} gFuncTableInitializer;
}  // namespace
