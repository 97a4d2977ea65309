#include "params/office_plugin_params.h"

#include <cstdio>
#include <cstdlib>

COfficePluginParams* COfficePluginParams::instance = nullptr;

// The singleton lives as long as the library: released when the library is
// unloaded (or the process ends), so that loading it again leaks nothing.
struct COfficePluginParamsRelease {
    ~COfficePluginParamsRelease() {
        delete COfficePluginParams::instance;
        COfficePluginParams::instance = nullptr;
    }
};
static COfficePluginParamsRelease gCOfficePluginParamsRelease;

namespace {
const char kDefaultMimeTypes[] = "doc,docx,xls,xlsx,ppt,pptx";
constexpr double kDefaultTimeLimit = 600.0;

// Colour components in the order of the enumeration, from BACKGROUND_COLOR_RED.
constexpr double kColors[] = {
    46 / 255.0,  52 / 255.0,  54 / 255.0,   // background
    238 / 255.0, 238 / 255.0, 236 / 255.0,  // foreground
    52 / 255.0,  101 / 255.0, 164 / 255.0,  // progress
    239 / 255.0, 41 / 255.0,  41 / 255.0,   // error
};
}  // namespace

COfficePluginParams* COfficePluginParams::getInstance() {
    if (instance == nullptr) instance = new COfficePluginParams();
    return instance;
}

const char* COfficePluginParams::getValue(OfficePluginParamsValue value) const {
    if (value != MIME_TYPES) return nullptr;
    const char* types = std::getenv("OFFICE_PLUGINS_MIME_TYPES");
    return types ? types : kDefaultMimeTypes;
}

double COfficePluginParams::getDoubleValue(OfficePluginParamsValue value) const {
    if (value == TIME_LIMIT) {
        double limit = kDefaultTimeLimit;
        const char* text = std::getenv("OFFICE_PLUGINS_TIME_LIMIT");
        if (text != nullptr && std::sscanf(text, "%lf", &limit) != 1) limit = kDefaultTimeLimit;
        return limit;
    }
    if (value >= BACKGROUND_COLOR_RED && value <= ERROR_COLOR_BLUE) return kColors[value - BACKGROUND_COLOR_RED];
    return 0.0;
}

const char* COfficePluginParams::getValue(COfficeParamsBase::ParamsBaseValue value) const {
    return COfficeParamsBase::getInstance()->getValue(value);
}
