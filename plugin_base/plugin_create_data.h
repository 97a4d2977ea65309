// nsPluginCreateData: the creation record NPP_New builds on its stack and
// hands to the factory and to _CQVPluginBase::setParam. It lives only for the
// duration of NPP_New; nothing may keep a pointer to it.
#pragma once

#include "plugin_base/npapi.h"

struct nsPluginCreateData {
    NPP instance;
    NPMIMEType type;
    uint16_t mode;
    int16_t argc;
    char** argn;
    char** argv;
    NPSavedData* saved;
};
