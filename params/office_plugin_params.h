// COfficePluginParams: the enabled file extensions and the conversion time
// limit, read from the environment on every request, and the fixed colours of
// the progress display. Path requests are passed on to COfficeParamsBase.
// Lives until the library is unloaded; getInstance() takes no lock (see
// COfficeParamsBase).
#pragma once

#include "params/office_params_base.h"

class COfficePluginParams {
public:
    enum OfficePluginParamsValue {
        MIME_TYPES = 0,
        TIME_LIMIT = 1,
        BACKGROUND_COLOR_RED = 2,
        BACKGROUND_COLOR_GREEN = 3,
        BACKGROUND_COLOR_BLUE = 4,
        FOREGROUND_COLOR_RED = 5,
        FOREGROUND_COLOR_GREEN = 6,
        FOREGROUND_COLOR_BLUE = 7,
        PROGRESS_COLOR_RED = 8,
        PROGRESS_COLOR_GREEN = 9,
        PROGRESS_COLOR_BLUE = 10,
        ERROR_COLOR_RED = 11,
        ERROR_COLOR_GREEN = 12,
        ERROR_COLOR_BLUE = 13
    };

    static COfficePluginParams* getInstance();

    // MIME_TYPES: OFFICE_PLUGINS_MIME_TYPES when set (even empty), else
    // "doc,docx,xls,xlsx,ppt,pptx". Null for every other value.
    const char* getValue(OfficePluginParamsValue value) const;
    // TIME_LIMIT in seconds (OFFICE_PLUGINS_TIME_LIMIT scanned with "%lf",
    // default 600.0) or a colour component n/255; 0.0 for anything else.
    double getDoubleValue(OfficePluginParamsValue value) const;
    const char* getValue(COfficeParamsBase::ParamsBaseValue value) const;

    virtual ~COfficePluginParams() = default;

private:
    COfficePluginParams() = default;
    friend struct COfficePluginParamsRelease;
    static COfficePluginParams* instance;
};
