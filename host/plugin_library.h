// PluginLibrary: loads a plug-in library with dlopen exactly as a browser
// does and resolves its NPAPI entry points. The library stays loaded until
// the object is destroyed (dlclose), unless the environment variable
// RRZ_HOST_NO_DLCLOSE is set (for leak reports that name plug-in code).
#pragma once

#include <string>

#include "plugin_base/np_private_funcs.h"
#include "plugin_base/npfunctions.h"

namespace host {

class PluginLibrary {
public:
    typedef NPError (*InitializeFn)(NPNetscapeFuncs*, NPPluginFuncs*);
    typedef NPError (*InitializePrivateFn)(NPNetscapePrivateFuncs*);
    typedef NPError (*GetValueFn)(void*, NPPVariable, void*);
    typedef const char* (*GetMIMEDescriptionFn)();
    typedef NPError (*ShutdownFn)();

    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // False with error() set when the file cannot be loaded or an entry
    // point is missing.
    bool load(const std::string& path);
    void unload();
    bool isLoaded() const { return mHandle != nullptr; }
    const std::string& error() const { return mError; }

    // Any exported symbol (for example an NPN_* wrapper), or null.
    void* symbol(const char* name) const;

    InitializeFn NP_Initialize = nullptr;
    InitializePrivateFn NP_InitializePrivate = nullptr;
    GetValueFn NP_GetValue = nullptr;
    GetMIMEDescriptionFn NP_GetMIMEDescription = nullptr;
    ShutdownFn NP_Shutdown = nullptr;

private:
    void* mHandle = nullptr;
    std::string mError;
};

}  // namespace host
