// Fuzzes stream acceptance in the shipped library: a fresh instance is
// offered a stream whose URL is the input (cut at its first NUL, as a C
// string). The stream is then ended with a user break, so no conversion
// starts, and the instance destroyed. The MIME list is the default one plus
// odd entries (empty, dotted, overlong), set before the library builds it.
//
// An accepted stream must have a URL ending in "." + an enabled extension.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/plugin_session.h"

namespace {

const char* const kEnabled[] = {"doc", "docx", "xls", "xlsx", "ppt", "pptx", "", "tar.gz", "odt"};

bool endsInEnabledExtension(const std::string& url) {
    std::size_t dot = url.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = url.substr(dot + 1);
    for (const char* enabled : kEnabled) {
        if (extension == enabled) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("OFFICE_PLUGINS_MIME_TYPES", "doc,docx,xls,xlsx,ppt,pptx,,tar.gz,odt", 1);
    PluginSession::get();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string url(reinterpret_cast<const char*>(data), size);
    url.resize(std::strlen(url.c_str()));
    PluginSession& session = PluginSession::get();
    {
        host::HostInstance instance(session.browser);
        if (instance.create("application/msword") != NPERR_NO_ERROR) abort();
        if (instance.setWindow(0, 0, 64, 64) != NPERR_NO_ERROR) abort();
        host::StreamOptions options;
        options.reason = NPRES_USER_BREAK;
        host::StreamResult result = instance.stream(url, "", options);
        if ((result.newStream == NPERR_NO_ERROR) != endsInEnabledExtension(url)) abort();
        instance.destroy();
    }
    session.browser.runPendingCalls();
    session.browser.clearRecords();
    return 0;
}
