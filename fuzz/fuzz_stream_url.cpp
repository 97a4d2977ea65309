// Fuzzes stream acceptance in the shipped library: a fresh instance is
// offered a stream whose URL is the input (cut at its first NUL), ended with
// a user break so that no conversion starts. The MIME list is the default
// one plus odd entries (empty, dotted), set before the library builds it. A
// stream is accepted exactly when its URL ends in "." + an enabled extension.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/plugin_session.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("OFFICE_PLUGINS_MIME_TYPES", "doc,docx,xls,xlsx,ppt,pptx,,tar.gz,odt", 1);
    PluginSession::get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string url(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    std::size_t dot = url.rfind('.');
    std::string extension = dot == std::string::npos ? "-" : url.substr(dot + 1);
    bool enabled = false;
    for (const char* name : {"doc", "docx", "xls", "xlsx", "ppt", "pptx", "", "tar.gz", "odt"})
        enabled |= extension == name;
    PluginSession& session = PluginSession::get();
    {
        host::HostInstance instance(session.browser);
        if (instance.create("application/msword") != NPERR_NO_ERROR) abort();
        if (instance.setWindow(0, 0, 64, 64) != NPERR_NO_ERROR) abort();
        host::StreamOptions options;
        options.reason = NPRES_USER_BREAK;
        if ((instance.stream(url, "", options).newStream == NPERR_NO_ERROR) != enabled) abort();
        instance.destroy();
    }
    session.browser.runPendingCalls();
    session.browser.clearRecords();
    return 0;
}
