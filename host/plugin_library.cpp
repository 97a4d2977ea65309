#include "host/plugin_library.h"

#include <dlfcn.h>

#include <cstdlib>

namespace host {

PluginLibrary::~PluginLibrary() { unload(); }

bool PluginLibrary::load(const std::string& path) {
    unload();
    mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (mHandle == nullptr) {
        const char* why = dlerror();
        mError = why ? why : "dlopen failed";
        return false;
    }
    NP_Initialize = reinterpret_cast<InitializeFn>(symbol("NP_Initialize"));
    NP_InitializePrivate = reinterpret_cast<InitializePrivateFn>(symbol("NP_InitializePrivate"));
    NP_GetValue = reinterpret_cast<GetValueFn>(symbol("NP_GetValue"));
    NP_GetMIMEDescription = reinterpret_cast<GetMIMEDescriptionFn>(symbol("NP_GetMIMEDescription"));
    NP_Shutdown = reinterpret_cast<ShutdownFn>(symbol("NP_Shutdown"));
    if (!NP_Initialize || !NP_GetValue || !NP_GetMIMEDescription || !NP_Shutdown) {
        mError = "not an NPAPI plug-in: entry points missing in " + path;
        unload();
        return false;
    }
    return true;
}

void PluginLibrary::unload() {
    // RRZ_HOST_NO_DLCLOSE keeps the code mapped, so that leak reports at exit
    // can still name the plug-in's functions.
    if (mHandle != nullptr && std::getenv("RRZ_HOST_NO_DLCLOSE") == nullptr) dlclose(mHandle);
    mHandle = nullptr;
    NP_Initialize = nullptr;
    NP_InitializePrivate = nullptr;
    NP_GetValue = nullptr;
    NP_GetMIMEDescription = nullptr;
    NP_Shutdown = nullptr;
}

void* PluginLibrary::symbol(const char* name) const { return mHandle ? dlsym(mHandle, name) : nullptr; }

}  // namespace host
